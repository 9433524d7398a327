#pragma once

#include <cstdint>

namespace fd::devices {

class TCommonControl;

// Channel states shown in the channel view.
inline constexpr uint8_t kChannelUnknown = 0;
inline constexpr uint8_t kChannelConnected = 1;
inline constexpr uint8_t kChannelOpen = 2;
inline constexpr uint8_t kChannelError = 3;

// What one channel measurement means for the channel view.
struct ChannelTestOutcome {
  uint8_t State = kChannelUnknown;
  bool StoreValue = false;  // true: Value goes into ChannelValue
  double Value = 0;         // the reading as the view shows it (firmware 268 on: scaled by 100)
};

// From the measurement's result code, the value it gave and the console's firmware version:
// a failed exchange is an error; below 268 a value of 4.0 or more is connected; from 268 on the
// value is scaled by 100, kept, and below 20.0 is connected.
ChannelTestOutcome ChannelTestRule(int result, double measured, int version);

// Measures one channel of a console and records the outcome in its tables. Returns the
// measurement's result code (kOutOfRange for a channel outside the tables, which stay untouched).
int TestAndRecordChannel(TCommonControl& console, int channel);

}  // namespace fd::devices
