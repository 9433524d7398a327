#include "show/memory_pass_log.h"

#include "bus/tport_codec.h"
#include "devices/scenario_memory.h"
#include "journal/journal_events.h"

namespace fd::show {

MemoryPassLog::MemoryPassLog(const std::vector<devices::CueRecord>& cues) {
  for (const devices::CueRecord& cue : cues) byConsole_[cue.Console].push_back(&cue);
}

void MemoryPassLog::Note(int consoleId) {
  if (handled_.empty() || handled_.back().first != consoleId) handled_.emplace_back(consoleId, 0);
  ++handled_.back().second;
}

OrderedJson MemoryPassLog::PassJson(const std::string& pass, int code, const std::string& result) const {
  OrderedJson o;
  o["pass"] = pass;
  o["result"] = result;
  o["code"] = code;
  OrderedJson consoles = OrderedJson::array();
  for (const auto& [console, count] : handled_) {
    OrderedJson c;
    c["console"] = console;
    c["cues"] = count;
    // A motion cue takes three records of a motor console; a channel cue one.
    int records = 0;
    const auto& cues = byConsole_.at(console);
    for (int i = 0; i < count && i < static_cast<int>(cues.size()); ++i)
      records += devices::IsMotionCue(cues[static_cast<size_t>(i)]->CueKind) ? 3 : 1;
    c["records"] = records;
    consoles.push_back(c);
  }
  o["consoles"] = consoles;
  OrderedJson differences = OrderedJson::array();
  // The run ends at the cue where the verify found its difference: the last one it handled.
  if (code == devices::kScenarioMismatch && !handled_.empty()) {
    const auto& [console, count] = handled_.back();
    const auto& cues = byConsole_.at(console);
    if (count >= 1 && count <= static_cast<int>(cues.size())) {
      const devices::CueRecord& cue = *cues[static_cast<size_t>(count - 1)];
      OrderedJson d;
      d["console"] = console;
      d["line"] = cue.Line;
      d["time_ms"] = cue.TimeMs;
      uint8_t subCode = 0;
      d["cue"] = bus::codec::MotorSubCode(cue.CueKind, subCode) ? "motion " + bus::codec::MotionName(subCode)
                                                                : "channel " + std::to_string(int64_t{cue.Channel} + 1);
      differences.push_back(d);
    }
  }
  o["differences"] = differences;
  return o;
}

std::string MemoryPassEvent(const OrderedJson& pass) {
  OrderedJson event;
  event["event"] = pass.value("pass", std::string("pass"));
  event["wall"] = journal::WallClockText();
  for (const auto& [key, value] : pass.items()) event[key] = value;
  return event.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

}  // namespace fd::show
