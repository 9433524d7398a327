#pragma once

// A console's channels after a channel test, as its journal and `firnadesk-cli test --json` record
// them: each channel's state, the reading where the firmware gives one, and whether the scenario
// fires it.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "devices/common_control.h"

namespace fd::show {

// Firmware from which a console reports a reading for each channel.
inline constexpr int kReadingsVersion = 0x268;

// "connected", "not connected", "failed", "unknown".
const char* ChannelStateName(uint8_t state);
bool HasChannelReadings(const devices::TCommonControl& console);

// {"id", "version" ("164"), "channel_count", "completed", "channels": [{"channel", "state",
// "value"?, "used"}]}; completed: every channel of the console was tested.
nlohmann::ordered_json ChannelTestRecord(const devices::TCommonControl& console, bool completed);

// The journal's "channel_test" event of a console: the time, then its record.
std::string ChannelTestEvent(const devices::TCommonControl& console, bool completed);

}  // namespace fd::show
