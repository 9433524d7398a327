#pragma once

#include <array>
#include <cstdint>

#include "devices/common_control.h"

namespace fd::devices {

// The high-voltage firing console: fires with a level, reports its first status value in tenths,
// and its channel readings come on a scale one hundredth of the standard one.
class THVControl : public TAutoControl {
 public:
  THVControl(bus::TPort& port, platform::Platform& platform, int id);

  int32_t HVParameter = 0;  // byte answered to the parameter request at UpdateInfo
  // Level per channel that the show player queues for this console's cues.
  std::array<int32_t, kChannelTableSize> ChannelLevel{};
  // Levels queued by the show player in firing order.
  std::array<int32_t, kChannelTableSize> LevelQueue{};
  int32_t LevelQueueCount = 0;
  int32_t LevelQueuePos = 0;

  void UpdateInfo() override;
  void ClearTests() override;
  int TestChannel(int channel, double& value) override;
  const char* ClassName() const override { return "THVControl"; }

  // Fires one channel (0-based) with a level 0..16383 (0 is a plain firing), unanswered. Outside
  // the tables or the level's 14 bits: kOutOfRange, nothing sent.
  int FireLevel(int channel, int level);

  // Bounded access to the level tables.
  int32_t LevelOf(int channel) const { return ChannelInTable(channel) ? ChannelLevel[channel] : 0; }
  bool SetChannelLevel(int channel, int32_t level);

 protected:
  int ReadStatusValues(double& value1, double& value2, uint8_t& statusBit) override;
};

inline constexpr int kMaxLevel = 16383;

}  // namespace fd::devices
