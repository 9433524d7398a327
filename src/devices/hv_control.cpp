#include "devices/hv_control.h"

namespace fd::devices {

THVControl::THVControl(bus::TPort& port, platform::Platform& platform, int id) : TAutoControl(port, platform, id) {
  HVParameter = 0;
  Kind = kKindHV;
  ChannelLevel.fill(0);
}

void THVControl::UpdateInfo() {
  TCommonControl::UpdateInfo();
  // The answer's result is not kept: LastResult still tells about the identification.
  int value = 0;
  if (port_.ReadHVParameter(ID, RepeatMode, Converter, value) != bus::kBusOk) value = 0;
  HVParameter = value;
}

void THVControl::ClearTests() {
  TCommonControl::ClearTests();
  ChannelLevel.fill(0);
}

int THVControl::TestChannel(int channel, double& value) {
  const int result = TCommonControl::TestChannel(channel, value);
  if (result == bus::kBusOk) value *= 100;
  return result;
}

int THVControl::FireLevel(int channel, int level) {
  if (!ChannelInTable(channel) || level < 0 || level > kMaxLevel) return kOutOfRange;
  return port_.FireChannelLevel(ID, channel, level, false, RepeatMode, Converter);
}

bool THVControl::SetChannelLevel(int channel, int32_t level) {
  if (!ChannelInTable(channel)) return false;
  ChannelLevel[channel] = level;
  return true;
}

int THVControl::ReadStatusValues(double& value1, double& value2, uint8_t& statusBit) {
  return port_.ReadHVStatus(ID, RepeatMode, Converter, value1, value2, statusBit);
}

}  // namespace fd::devices
