#include "channel_grid.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "devices/channel_test_rule.h"
#include "show/channel_test_record.h"

namespace fd::cli {

char StateChar(uint8_t state) {
  switch (state) {
    case devices::kChannelConnected:
      return '+';
    case devices::kChannelOpen:
      return 'o';
    case devices::kChannelError:
      return 'x';
    default:
      return '?';
  }
}

const char* StateName(uint8_t state) { return show::ChannelStateName(state); }

std::string GridLegend() {
  return "Legend: + connected (Подключен), o not connected (Не подключен), x failed (Ошибка), ? unknown "
         "(Неизвестно); * the scenario fires this channel\n";
}

namespace {

bool HasReadings(const devices::TCommonControl& console) { return show::HasChannelReadings(console); }

// A reading in at most `room` characters: one decimal while it fits, whole units when not, and
// a plain sign of a huge value rather than cut digits that would read as a smaller number.
std::string Reading(double value, size_t room) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  if (std::strlen(text) > room) std::snprintf(text, sizeof text, "%.0f", value);
  if (std::strlen(text) > room) std::snprintf(text, sizeof text, "%s", value < 0 ? "-big" : "big");
  return text;
}

}  // namespace

std::string ChannelGridText(const devices::TCommonControl& console) {
  char line[128];
  std::snprintf(line, sizeof line, "Console %d (firmware %03X, %d channels)\n", console.ID,
                static_cast<unsigned>(console.Version), console.ChannelCount);
  std::string out = line;
  const int channels = console.TableChannels();
  const bool readings = HasReadings(console);
  // A cell is its state and the mark; with readings, wide enough for the reading below it.
  const size_t width = readings ? 7 : 3;
  for (int first = 0; first < channels; first += kGridCellsPerLine) {
    const int last = std::min(channels, first + kGridCellsPerLine);
    std::snprintf(line, sizeof line, "  %3d-%-3d ", first + 1, last);
    std::string states = line;
    std::string values(states.size(), ' ');
    for (int c = first; c < last; ++c) {
      // Appended in place: GCC 12 at -O3 takes a sum of temporaries here for an overlapping copy.
      states += StateChar(console.StateOf(c));
      states += console.ChannelUsed[static_cast<size_t>(c)] ? '*' : ' ';
      states.append(width - 2, ' ');
      if (readings) {
        const std::string value =
            console.StateOf(c) == devices::kChannelUnknown ? "" : Reading(console.ChannelValue[c], width - 1);
        values += value;
        values.append(width - value.size(), ' ');
      }
    }
    while (!states.empty() && states.back() == ' ') states.pop_back();
    out += states + "\n";
    if (readings) {
      while (!values.empty() && values.back() == ' ') values.pop_back();
      out += values + "\n";
    }
  }
  return out;
}

Json ChannelGridJson(const devices::TCommonControl& console, bool completed) {
  return show::ChannelTestRecord(console, completed);
}

std::vector<UsedChannelFault> UsedChannelFaults(const devices::TCommonControl& console) {
  std::vector<UsedChannelFault> faults;
  for (int c = 0; c < console.TableChannels(); ++c) {
    const uint8_t state = console.StateOf(c);
    if (console.ChannelUsed[static_cast<size_t>(c)] &&
        (state == devices::kChannelOpen || state == devices::kChannelError))
      faults.push_back({console.ID, c + 1, state});
  }
  return faults;
}

}  // namespace fd::cli
