#include "journal/journal_events.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

#include "journal/cue_fields.h"

namespace fd::journal {

namespace {

using Json = nlohmann::ordered_json;

}  // namespace

std::string WallClockText() {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

namespace {

Json Event(const char* kind) {
  Json event;
  event["event"] = kind;
  event["wall"] = WallClockText();
  return event;
}

// Paths and texts come from anywhere; a byte that is not UTF-8 must not cost the line.
std::string Dump(const Json& event) { return event.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A cue's event: which cue (line, console, channel or motion) and when it was planned.
Json CueEventOf(const char* kind, const CueId& cue) {
  Json event = Event(kind);
  PutCueId(event, cue);
  return event;
}

}  // namespace

const char* StopSourceName(StopSource source) {
  switch (source) {
    case StopSource::Operator:
      return "operator";
    case StopSource::BusStop:
      // The remote control and another operator program send the very same stop broadcast.
      return "remote_control_or_program";
    case StopSource::EndOfScenario:
      return "end_of_scenario";
    case StopSource::Converter:
      return "converter";
    case StopSource::TimecodeJump:
      return "timecode_jump";
  }
  return "operator";
}

std::string HeaderLine(const JournalHeader& header) {
  Json event = Event("header");
  event["kind"] = header.kind;
  event["program_version"] = header.programVersion;
  event["scenario"] = header.scenarioPath.empty()
                          ? Json(nullptr)
                          : Json{{"path", header.scenarioPath}, {"sha256", header.scenarioSha256}};
  event["soundtrack"] = header.soundtrackPath.empty()
                            ? Json(nullptr)
                            : Json{{"path", header.soundtrackPath}, {"sha256", header.soundtrackSha256}};
  event["launch_mode"] = header.launchMode;
  event["start_ms"] = header.startMs;
  Json consoles = Json::array();
  for (const ConsoleState& console : header.consoles)
    consoles.push_back({{"id", console.id},
                        {"firmware", console.firmware},
                        {"voltage", console.voltage},
                        {"link_quality", console.linkQuality}});
  event["consoles"] = consoles;
  auto result = [](const std::string& text, const std::string& sha) {
    return text.empty() ? Json(nullptr) : Json{{"result", text}, {"scenario_sha256", sha}};
  };
  event["last_write"] = result(header.lastWriteResult, header.lastWriteSha256);
  event["last_verify"] = result(header.lastVerifyResult, header.lastVerifySha256);
  if (!header.resumedFrom.empty()) event["resumed_from"] = header.resumedFrom;
  if (!header.timecodeSource.empty())
    event["timecode"] = Json{{"source", header.timecodeSource}, {"offset", header.timecodeOffset}};
  return Dump(event);
}

std::string CueLine(const CueEvent& cue) {
  Json event = CueEventOf(cue.followed ? "cue_followed" : "cue_sent", cue);
  event["show_ms"] = cue.showMs;
  return Dump(event);
}

std::string CueOutLine(int32_t line, int32_t sentMs) {
  Json event = Event("cue_out");
  event["line"] = line;
  event["sent_ms"] = sentMs;
  return Dump(event);
}

std::string StopLine(StopSource source, int32_t showMs) {
  Json event = Event("stop");
  event["source"] = StopSourceName(source);
  event["show_ms"] = showMs;
  return Dump(event);
}

std::string ModeLine(int mode) {
  static const char* const kModes[] = {"wait", "ready", "launch"};
  Json event = Event("mode");
  event["mode"] = mode >= 0 && mode <= 2 ? kModes[mode] : "unknown";
  return Dump(event);
}

std::string SoundtrackLine(bool playing, int32_t showMs) {
  Json event = Event(playing ? "soundtrack_start" : "soundtrack_stop");
  event["show_ms"] = showMs;
  return Dump(event);
}

std::string ConverterLine(bool lost) { return Dump(Event(lost ? "converter_lost" : "converter_restored")); }

std::string CloseLine(int32_t showMs, int64_t cuesSent) {
  Json event = Event("close");
  event["show_ms"] = showMs;
  event["cues_sent"] = cuesSent;
  return Dump(event);
}

std::string CueSkippedLine(const CueEvent& cue, const std::string& reason) {
  Json event = CueEventOf("cue_skipped", cue);
  event["reason"] = reason;
  return Dump(event);
}

std::string TimecodeLockLine(int32_t showMs, const std::string& rate) {
  Json event = Event("timecode_lock");
  event["show_ms"] = showMs;
  event["rate"] = rate;
  return Dump(event);
}

std::string TimecodeDropoutLine(int32_t showMs) {
  Json event = Event("timecode_dropout");
  event["show_ms"] = showMs;
  return Dump(event);
}

std::string TimecodeReturnLine(int32_t showMs) {
  Json event = Event("timecode_return");
  event["show_ms"] = showMs;
  return Dump(event);
}

std::string TimecodeJumpLine(int32_t showMs, int32_t fromMs, int32_t toMs) {
  Json event = Event("timecode_jump");
  event["show_ms"] = showMs;
  event["from_ms"] = fromMs;
  event["to_ms"] = toMs;
  return Dump(event);
}

std::string TimecodeSummaryLine(const TimecodeSummary& summary) {
  // Microseconds are all a millisecond clock can tell.
  auto ms = [](double value) { return std::round(value * 1000.0) / 1000.0; };
  Json event = Event("timecode_summary");
  event["lock_frames"] = summary.lockFrames;
  event["dropouts"] = summary.dropouts;
  event["jumps"] = summary.jumps;
  event["error_samples"] = summary.errorSamples;
  event["error_p50_ms"] = ms(summary.errorP50Ms);
  event["error_p99_ms"] = ms(summary.errorP99Ms);
  event["error_max_ms"] = ms(summary.errorMaxMs);
  return Dump(event);
}

std::string JournalFileName(int64_t unixSeconds, const std::string& scenarioPath, const std::string& label) {
  const size_t slash = scenarioPath.find_last_of('/');
  std::string stem = slash == std::string::npos ? scenarioPath : scenarioPath.substr(slash + 1);
  if (const size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  // Cyrillic and other letters stay as they are; only what a file system or a shell trips on goes.
  for (char& c : stem)
    if (c == '/' || c == '\\' || c == ' ' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
        c == '|' || static_cast<unsigned char>(c) < 0x20)
      c = '_';
  if (stem.empty() || stem == "." || stem == "..") stem = "scenario";
  const std::time_t seconds = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d_%H-%M-%S", &local);
  return std::string(date) + "_" + stem + (label.empty() ? "" : "_" + label) + ".jsonl";
}

}  // namespace fd::journal
