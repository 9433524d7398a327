#pragma once

// A console's channels after a channel test, as the terminal shows them: 16 cells a line, one
// character per state, a mark on the channels the scenario fires, and the readings where the
// firmware gives them (268 on), the way the window's channel graph lays them out.

#include <string>
#include <vector>

#include "cli_json.h"
#include "devices/common_control.h"

namespace fd::cli {

inline constexpr int kGridCellsPerLine = 16;

// The character of a channel state: '+' connected, 'o' not connected, 'x' failed, '?' unknown.
char StateChar(uint8_t state);
// "connected", "not connected", "failed", "unknown".
const char* StateName(uint8_t state);
// The legend line printed above the grids.
std::string GridLegend();

// "Console 3 (firmware 164, 16 channels)" and its grid lines.
std::string ChannelGridText(const devices::TCommonControl& console);
Json ChannelGridJson(const devices::TCommonControl& console, bool completed);

// A channel the scenario fires that the test found not connected or failed.
struct UsedChannelFault {
  int console = 0;
  int channel = 0;  // as in the scenario file (from 1)
  uint8_t state = 0;
};
std::vector<UsedChannelFault> UsedChannelFaults(const devices::TCommonControl& console);

}  // namespace fd::cli
