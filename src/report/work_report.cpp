#include "report/work_report.h"

#include <limits>

#include "report/show_report.h"
#include "report/show_report_output.h"
#include "support/terminal_text.h"

namespace fd::report {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

bool Flag(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_boolean() && it->get<bool>();
}

const Json* ArrayOf(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_array() ? &*it : nullptr;
}

std::string Safe(const std::string& text) { return support::TerminalText(text, 512); }

// A write or verify pass: from firnadesk-cli its consoles and differences, from the window its
// result alone.
WorkPass MemoryPassOf(const std::string& kind, const Json& event) {
  WorkPass pass;
  pass.kind = kind;
  pass.result = journal::JsonText(event, "result");
  pass.code = journal::JsonWhole(event, "code");
  if (const Json* consoles = ArrayOf(event, "consoles"))
    for (const Json& item : *consoles) {
      if (!item.is_object()) continue;
      WorkConsole c;
      c.console = journal::JsonWhole(item, "console").value_or(0);
      c.cues = journal::JsonWhole(item, "cues").value_or(0);
      c.records = journal::JsonWhole(item, "records").value_or(0);
      pass.consoles.push_back(c);
    }
  if (const Json* differences = ArrayOf(event, "differences"))
    for (const Json& item : *differences) {
      if (!item.is_object()) continue;
      pass.differences.push_back({journal::JsonWhole(item, "console").value_or(0),
                                  journal::JsonWhole(item, "line").value_or(0),
                                  journal::JsonWhole(item, "time_ms").value_or(0), journal::JsonText(item, "cue")});
    }
  return pass;
}

WorkPass ChannelTestOf(const Json& event) {
  WorkPass pass;
  pass.kind = "channel_test";
  WorkConsole c;
  c.console = journal::JsonWhole(event, "id").value_or(0);
  c.version = journal::JsonText(event, "version");
  c.channelCount = journal::JsonWhole(event, "channel_count").value_or(0);
  c.completed = Flag(event, "completed");
  if (const Json* channels = ArrayOf(event, "channels"))
    for (const Json& cell : *channels) {
      if (!cell.is_object()) continue;
      const int32_t channel = journal::JsonWhole(cell, "channel").value_or(0);
      const std::string state = journal::JsonText(cell, "state");
      if (state == "connected")
        c.connected.push_back(channel);
      else if (state == "not connected")
        c.notConnected.push_back(channel);
      else if (state == "failed")
        c.failed.push_back(channel);
      else
        c.unknown.push_back(channel);
      if (Flag(cell, "used") && (state == "not connected" || state == "failed")) c.usedFaults.push_back(channel);
    }
  pass.consoles.push_back(c);
  const bool sound = c.completed && c.usedFaults.empty();
  pass.result = !c.completed ? "not completed"
                : sound      ? "OK"
                             : "a channel the scenario fires is not connected or failed";
  return pass;
}

std::string ChannelList(const std::vector<int32_t>& channels) {
  std::string text;
  for (int32_t channel : channels) {
    // Appended piece by piece: GCC 12 at -O3 takes a sum of temporaries here for an overlapping copy.
    if (!text.empty()) text += ' ';
    text += std::to_string(channel);
  }
  return text;
}

std::string WorkTitle(const std::string& kind) {
  if (kind == "write") return "Write report";
  if (kind == "verify") return "Verify report";
  return "Channel test report";
}

}  // namespace

bool IsWorkJournal(const journal::ReadJournal& journal) {
  const std::string& kind = journal.header.kind;
  return kind == "write" || kind == "verify" || kind == "channel_test";
}

WorkReport BuildWorkReport(const journal::ReadJournal& journal, const std::string& journalPath) {
  WorkReport report;
  report.journalPath = journalPath;
  report.header = journal.header;
  if (journal.headerEvent.is_object()) report.headerWall = journal::JsonText(journal.headerEvent, "wall");
  for (const Json& event : journal.events) {
    const std::string kind = journal::JsonText(event, "event");
    if (kind == "write" || kind == "verify")
      report.passes.push_back(MemoryPassOf(kind, event));
    else if (kind == "channel_test")
      report.passes.push_back(ChannelTestOf(event));
  }
  const std::string what = journal.header.kind == "channel_test" ? "test" : journal.header.kind;
  if (journal.tornTail) report.warnings.push_back(kTornTailWarning);
  if (!journal.closed) report.warnings.push_back("no closing event: the " + what + " was cut short");
  bool ok = !report.passes.empty() && journal.closed;
  for (const WorkPass& pass : report.passes) {
    if (pass.kind == "channel_test") {
      ok = ok && pass.result == "OK";
    } else {
      ok = ok && pass.code.value_or(-1) == 0;
    }
  }
  report.ok = ok;
  if (report.passes.empty())
    report.resultText = "no result: the journal holds no " + what;
  else if (ok)
    report.resultText = "OK";
  else if (!journal.closed)
    report.resultText = "cut short";
  else
    report.resultText = "failed";
  return report;
}

std::string WorkReportText(const WorkReport& report) {
  const journal::JournalHeader& h = report.header;
  std::string out = WorkTitle(h.kind) + ": " + Safe(report.journalPath) + "\n";
  out += "Scenario: " + (h.scenarioPath.empty() ? std::string("none named") : Safe(h.scenarioPath)) + "\n";
  if (!report.headerWall.empty()) out += "Began: " + Safe(report.headerWall) + "\n";
  std::string consoles;
  for (const journal::ConsoleState& c : h.consoles) {
    if (!consoles.empty()) consoles += ", ";
    consoles += std::to_string(c.id);
    if (!c.firmware.empty()) consoles += " (firmware " + Safe(c.firmware) + ")";
  }
  out += "Consoles: " + (consoles.empty() ? std::string("none registered") : consoles) + "\n\n";
  for (const WorkPass& pass : report.passes) {
    if (pass.kind == "channel_test") {
      for (const WorkConsole& c : pass.consoles) {
        out += "console " + std::to_string(c.console) + " (firmware " + Safe(c.version) + ", " +
               std::to_string(c.channelCount) + " channels): " + std::to_string(c.connected.size()) + " connected, " +
               std::to_string(c.notConnected.size()) + " not connected, " + std::to_string(c.failed.size()) +
               " failed, " + std::to_string(c.unknown.size()) + " unknown; " +
               (c.completed ? "complete" : "not completed") + "\n";
        if (!c.notConnected.empty()) out += "  not connected: " + ChannelList(c.notConnected) + "\n";
        if (!c.failed.empty()) out += "  failed: " + ChannelList(c.failed) + "\n";
        if (!c.usedFaults.empty()) out += "  fired by the scenario but not ready: " + ChannelList(c.usedFaults) + "\n";
      }
      continue;
    }
    out += pass.kind + ": " + Safe(pass.result);
    if (pass.code) out += " (code " + std::to_string(*pass.code) + ")";
    out += "\n";
    for (const WorkConsole& c : pass.consoles)
      out += "  console " + std::to_string(c.console) + ": " + std::to_string(c.cues) + " cue(s), " +
             std::to_string(c.records) + " record(s)\n";
    for (const WorkDifference& d : pass.differences)
      out += "  difference: console " + std::to_string(d.console) + ", line " + std::to_string(d.line) + ", " +
             ShowTimeText(d.timeMs) + ", " + Safe(d.cue) + "\n";
  }
  if (!report.warnings.empty()) {
    out += "\nWarnings\n";
    for (const std::string& warning : report.warnings) out += "  " + Safe(warning) + "\n";
  }
  out += "\nResult: " + report.resultText + "\n";
  return out;
}

OrderedJson WorkReportJson(const WorkReport& report) {
  OrderedJson doc;
  doc["kind"] = report.header.kind;
  doc["journal"] = report.journalPath;
  doc["began"] = report.headerWall.empty() ? OrderedJson(nullptr) : OrderedJson(report.headerWall);
  doc["scenario"] = report.header.scenarioPath.empty() ? OrderedJson(nullptr) : OrderedJson(report.header.scenarioPath);
  OrderedJson passes = OrderedJson::array();
  for (const WorkPass& pass : report.passes) {
    OrderedJson p;
    p["pass"] = pass.kind;
    p["result"] = pass.result;
    p["code"] = pass.code ? OrderedJson(*pass.code) : OrderedJson(nullptr);
    OrderedJson consoles = OrderedJson::array();
    for (const WorkConsole& c : pass.consoles) {
      OrderedJson o{{"console", c.console}};
      if (pass.kind == "channel_test") {
        o["version"] = c.version;
        o["channel_count"] = c.channelCount;
        o["completed"] = c.completed;
        o["connected"] = c.connected;
        o["not_connected"] = c.notConnected;
        o["failed"] = c.failed;
        o["unknown"] = c.unknown;
        o["used_not_ready"] = c.usedFaults;
      } else {
        o["cues"] = c.cues;
        o["records"] = c.records;
      }
      consoles.push_back(o);
    }
    p["consoles"] = consoles;
    if (pass.kind != "channel_test") {
      OrderedJson differences = OrderedJson::array();
      for (const WorkDifference& d : pass.differences)
        differences.push_back({{"console", d.console}, {"line", d.line}, {"time_ms", d.timeMs}, {"cue", d.cue}});
      p["differences"] = differences;
    }
    passes.push_back(p);
  }
  doc["passes"] = passes;
  doc["warnings"] = report.warnings;
  doc["ok"] = report.ok;
  doc["result"] = report.resultText;
  return doc;
}

std::string WorkReportCsv(const WorkReport& report) {
  if (report.header.kind == "channel_test") {
    std::string out = "console,version,channel_count,completed,connected,not_connected,failed,unknown,used_not_ready\n";
    for (const WorkPass& pass : report.passes)
      for (const WorkConsole& c : pass.consoles)
        out += std::to_string(c.console) + "," + CsvField(c.version) + "," + std::to_string(c.channelCount) + "," +
               (c.completed ? "yes" : "no") + "," + std::to_string(c.connected.size()) + "," +
               std::to_string(c.notConnected.size()) + "," + std::to_string(c.failed.size()) + "," +
               std::to_string(c.unknown.size()) + "," + CsvField(ChannelList(c.usedFaults)) + "\n";
    return out;
  }
  std::string out = "pass,console,cues,records,code,result\n";
  for (const WorkPass& pass : report.passes) {
    const std::string code = pass.code ? std::to_string(*pass.code) : std::string();
    if (pass.consoles.empty()) out += pass.kind + ",,,," + code + "," + CsvField(pass.result) + "\n";
    for (const WorkConsole& c : pass.consoles)
      out += pass.kind + "," + std::to_string(c.console) + "," + std::to_string(c.cues) + "," +
             std::to_string(c.records) + "," + code + "," + CsvField(pass.result) + "\n";
  }
  return out;
}

}  // namespace fd::report
