#include "devices/common_control.h"

#include <algorithm>

#include "support/numbers.h"

namespace fd::devices {

TCommonControl::TCommonControl(bus::TPort& port, platform::Platform& platform, int id)
    : TCommonDevice(port, platform, id) {
  Kind = kKindControl;
  // Tables start zeroed (ClearTests and ClearChannelUsed at creation); a subclass zeroes its own.
  TCommonControl::ClearTests();
  ClearChannelUsed();
}

int TCommonControl::GetVersion() {
  int version = 0;
  LastResult = port_.ReadVersion(ID, RepeatMode, Converter, version);
  if (LastResult != bus::kBusOk) version = 0;
  int timeMs = 0;
  char letter = 0;
  LastResult = port_.ReadTypeLetter(ID, RepeatMode, Converter, timeMs, letter);
  if (LastResult == bus::kBusOk) TypeLetter = letter;
  UpdateLinkStats();
  return version;
}

void TCommonControl::UpdateInfo() {
  TCommonDevice::UpdateInfo();
  CheckLink();
}

int TCommonControl::CheckLink() {
  int count = 0;
  LastResult = port_.ReadChannelCount(ID, RepeatMode, Converter, count);
  if (LastResult == bus::kBusOk) ChannelCount = count;
  UpdateLinkStats();
  return LastResult;
}

int TCommonControl::ReadStatusValues(double& value1, double& value2, uint8_t& statusBit) {
  return port_.ReadStatus(ID, RepeatMode, Converter, value1, value2, statusBit);
}

void TCommonControl::Poll() {
  // Firmware below 151 sends a bit that means nothing: it goes to a scratch variable and
  // StatusBit stays "not reported".
  uint8_t scratch = kStatusNotReported;
  uint8_t& bit = Version >= kVersionStatusBit ? StatusBit : scratch;
  // A failed poll shows no voltage and no status bit.
  AuxVoltage = 0;
  Voltage = 0;
  bit = kStatusNotReported;
  LastResult = ReadStatusValues(AuxVoltage, Voltage, bit);
  if (Version >= kVersionReading) {
    double reading = 0;
    if (port_.ReadReading(ID, RepeatMode, Converter, reading) != bus::kBusOk) reading = 0;
    Reading = reading;
  }
  UpdateLinkStats();
}

void TCommonControl::ClearTests() {
  ChannelValue.fill(0.0);
  ChannelState.fill(0);
}

int TCommonControl::TestChannel(int channel, double& value) {
  if (!ChannelInTable(channel)) return kOutOfRange;
  // The measurement takes longer than an ordinary answer: widen the window for this exchange only.
  const uint32_t saved = port_.ReplyTimeout.load();
  port_.ReplyTimeout = 200;
  double measured = 0;
  const int result = port_.MeasureChannel(ID, channel, RepeatMode, Converter, measured);
  port_.ReplyTimeout = saved;
  if (result == bus::kBusOk) value = measured;
  LastResult = result;
  return result;
}

int TCommonControl::Fire(int channel) {
  if (!ChannelInTable(channel)) return kOutOfRange;
  double unused = 0;
  return port_.FireChannel(ID, channel, false, RepeatMode, Converter, unused);
}

void TCommonControl::UpdateLinkStats() {
  // A window covers ten exchanges; one that ended at 15 % or better carries a success over.
  if (PollCount > 10) {
    GoodCount = LinkQuality() >= 15 ? 1 : 0;
    PollCount = 1;
  }
  ++PollCount;
  if (LastResult == bus::kBusOk) ++GoodCount;
}

int TCommonControl::LinkQuality() const {
  if (PollCount <= 0) return 0;
  return static_cast<int>(support::RoundHalfAway(static_cast<long double>(GoodCount) / PollCount * 100));
}

void TCommonControl::ClearChannelUsed() { ChannelUsed.fill(0); }

bool TCommonControl::SetChannelState(int channel, uint8_t state) {
  if (!ChannelInTable(channel)) return false;
  ChannelState[channel] = state;
  return true;
}

bool TCommonControl::SetChannelValue(int channel, double value) {
  if (!ChannelInTable(channel)) return false;
  ChannelValue[channel] = value;
  return true;
}

bool TCommonControl::SetChannelUsed(int channel, bool used) {
  if (!ChannelInTable(channel)) return false;
  ChannelUsed[channel] = used ? 1 : 0;
  return true;
}

int TCommonControl::TableChannels() const { return std::clamp(ChannelCount, 0, kChannelTableSize); }

TAutoControl::TAutoControl(bus::TPort& port, platform::Platform& platform, int id)
    : TCommonControl(port, platform, id) {
  Kind = kKindAuto;
}

}  // namespace fd::devices
