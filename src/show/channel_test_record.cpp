#include "show/channel_test_record.h"

#include <cmath>
#include <cstdio>

#include "devices/channel_test_rule.h"
#include "journal/journal_events.h"

namespace fd::show {

const char* ChannelStateName(uint8_t state) {
  switch (state) {
    case devices::kChannelConnected:
      return "connected";
    case devices::kChannelOpen:
      return "not connected";
    case devices::kChannelError:
      return "failed";
    default:
      return "unknown";
  }
}

bool HasChannelReadings(const devices::TCommonControl& console) { return console.Version >= kReadingsVersion; }

nlohmann::ordered_json ChannelTestRecord(const devices::TCommonControl& console, bool completed) {
  nlohmann::ordered_json o;
  o["id"] = console.ID;
  char version[8];
  std::snprintf(version, sizeof version, "%03X", static_cast<unsigned>(console.Version));
  o["version"] = version;
  o["channel_count"] = console.ChannelCount;
  o["completed"] = completed;
  nlohmann::ordered_json cells = nlohmann::ordered_json::array();
  for (int c = 0; c < console.TableChannels(); ++c) {
    nlohmann::ordered_json cell;
    cell["channel"] = c + 1;
    cell["state"] = ChannelStateName(console.StateOf(c));
    if (HasChannelReadings(console) && console.StateOf(c) != devices::kChannelUnknown) {
      const double value = console.ChannelValue[c];
      // A reading the console garbled is no number JSON can hold.
      cell["value"] = std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
    }
    cell["used"] = console.ChannelUsed[static_cast<size_t>(c)] != 0;
    cells.push_back(cell);
  }
  o["channels"] = cells;
  return o;
}

std::string ChannelTestEvent(const devices::TCommonControl& console, bool completed) {
  nlohmann::ordered_json event;
  event["event"] = "channel_test";
  event["wall"] = journal::WallClockText();
  const nlohmann::ordered_json record = ChannelTestRecord(console, completed);
  for (const auto& [key, value] : record.items()) event[key] = value;
  return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace fd::show
