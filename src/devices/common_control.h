#pragma once

#include <array>
#include <cstdint>

#include "devices/common_device.h"
#include "devices/device_codes.h"

namespace fd::devices {

// A firing console (addresses 1..199): identification, supply readings, link statistics and the
// per-channel tables of the channel test and the loaded scenario.
class TCommonControl : public TCommonDevice {
 public:
  TCommonControl(bus::TPort& port, platform::Platform& platform, int id);

  char TypeLetter = 0;                     // letter of the type answer, refreshed by every GetVersion
  int32_t ChannelCount = 0;                // from the identification answer
  double AuxVoltage = 0;                   // first value of the status answer
  double Voltage = 0;                      // second value of the status answer, volts; what the row shows
  uint8_t StatusBit = kStatusNotReported;  // 0/1, 2 = not reported
  double Reading = 0;                      // signed two-digit reading (firmware 36B on); kept, not shown
  int32_t PollCount = 1;                   // link statistics window: exchanges counted
  int32_t GoodCount = 1;                   // link statistics window: successful exchanges
  // Channel test state per channel: 0 unknown, 1 connected, 2 not connected, 3 error.
  std::array<uint8_t, kChannelTableSize> ChannelState{};
  // Measured value of the latest test (kept from firmware 268 on).
  std::array<double, kChannelTableSize> ChannelValue{};
  // 1 = the loaded scenario fires this channel of this console.
  std::array<uint8_t, kChannelTableSize> ChannelUsed{};

  int GetVersion() override;
  void UpdateInfo() override;
  int CheckLink() override;
  void Poll() override;
  virtual void ClearTests();
  // Measures one channel (0-based) with a 200 ms reply window. value is written only on success.
  // A channel outside the tables is refused with kOutOfRange and nothing is sent.
  virtual int TestChannel(int channel, double& value);
  // Fires one channel (0-based), unanswered: once, or three times with repeated exchanges. The
  // result is not kept in LastResult. Outside the tables: kOutOfRange, nothing sent.
  virtual int Fire(int channel);

  const char* ClassName() const override { return "TCommonControl"; }

  void UpdateLinkStats();
  int LinkQuality() const;  // percent
  void ClearChannelUsed();

  // Bounded access to the channel tables: out-of-range channels read as 0 and are never written.
  uint8_t StateOf(int channel) const { return ChannelInTable(channel) ? ChannelState[channel] : 0; }
  bool SetChannelState(int channel, uint8_t state);
  bool SetChannelValue(int channel, double value);
  bool SetChannelUsed(int channel, bool used);
  // How many channels the tables can hold of this console: ChannelCount, at most 512, at least 0.
  int TableChannels() const;

 protected:
  // The status exchange of Poll; the high-voltage console reads its first value differently.
  virtual int ReadStatusValues(double& value1, double& value2, uint8_t& statusBit);
};

// The standard firing console.
class TAutoControl : public TCommonControl {
 public:
  TAutoControl(bus::TPort& port, platform::Platform& platform, int id);
  const char* ClassName() const override { return "TAutoControl"; }
};

}  // namespace fd::devices
