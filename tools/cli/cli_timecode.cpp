// firnadesk-cli timecode: the cable check before a pyromusical. From a capture device, a live line
// with the timecode heard, its rate, whether it is locked and the signal's level, until Ctrl+C; from
// a sound file, read at full speed, a summary of the timecode on it: first and last label, rate,
// frames, dropouts and jumps.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli_command.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_stop_signal.h"
#include "cli_timecode_usage.h"
#include "platform/steady_clock.h"
#include "support/terminal_text.h"
#include "timecode/ltc_file_source.h"
#include "timecode/ltc_source.h"
#include "timecode/ltc_summary.h"
#include "timecode/timecode_chase.h"

namespace fd::cli {
namespace {

using timecode::DecodedFrame;
using timecode::TimecodeText;

constexpr const char* kName = kTimecodeName;
// The live line: rewritten this often on a terminal, once a second into a file or a pipe.
constexpr int kTerminalRefreshMs = 100;
constexpr int kLineEveryMs = 1000;

struct TimecodeArgs {
  std::vector<std::string> sources;
  int channel = 0;  // 1-based; 0 mixes every channel
  bool json = false;
};

std::string Seconds(double ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
  return text;
}

std::string SignedSeconds(double ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%+.3f s", ms / 1000.0);
  return text;
}

double Rounded(double ms) { return std::round(ms) / 1000.0; }

std::string LabelText(const timecode::Timecode& label, timecode::FrameRate rate) { return TimecodeText(label, rate); }

void PrintSummaryText(const timecode::TimecodeSummary& s, int64_t rejected, double durationMs) {
  const timecode::FrameRate rate = s.rate;
  std::string text;
  text += "timecode: " + LabelText(*s.first, rate) + " to " + LabelText(*s.last, rate) + "\n";
  text += std::string("rate: ") + timecode::FrameRateText(rate) + "\n";
  text += "frames: " + std::to_string(s.frames) + " decoded, " + std::to_string(rejected) + " rejected\n";
  text += "dropouts: " + std::to_string(s.dropouts.size()) + "\n";
  for (const timecode::TimecodeDropout& d : s.dropouts)
    text += "  at " + Seconds(d.atMs) + ", after " + LabelText(d.after, rate) + ": " + Seconds(d.lengthMs) +
            " without timecode\n";
  text += "jumps: " + std::to_string(s.jumps.size()) + "\n";
  for (const timecode::TimecodeJump& j : s.jumps)
    text += "  at " + Seconds(j.atMs) + ": " + LabelText(j.from, rate) + " -> " + LabelText(j.to, rate) + " (" +
            SignedSeconds(j.byMs) + ")\n";
  text += "duration: " + Seconds(durationMs) + "\n";
  Print(text);
}

void PrintSummaryJson(const std::string& source, const timecode::TimecodeSummary& s, int64_t rejected,
                      double durationMs) {
  const timecode::FrameRate rate = s.rate;
  Json doc;
  doc["source"] = source;
  doc["first"] = s.first ? Json(LabelText(*s.first, rate)) : Json(nullptr);
  doc["last"] = s.last ? Json(LabelText(*s.last, rate)) : Json(nullptr);
  doc["rate"] = s.frames > 0 ? Json(timecode::FrameRateText(rate)) : Json(nullptr);
  doc["frames"] = s.frames;
  doc["rejected"] = rejected;
  doc["dropouts"] = Json::array();
  for (const timecode::TimecodeDropout& d : s.dropouts)
    doc["dropouts"].push_back(
        Json{{"at_s", Rounded(d.atMs)}, {"after", LabelText(d.after, rate)}, {"length_s", Rounded(d.lengthMs)}});
  doc["jumps"] = Json::array();
  for (const timecode::TimecodeJump& j : s.jumps)
    doc["jumps"].push_back(Json{{"at_s", Rounded(j.atMs)},
                                {"from", LabelText(j.from, rate)},
                                {"to", LabelText(j.to, rate)},
                                {"by_s", Rounded(j.byMs)}});
  doc["duration_s"] = Rounded(durationMs);
  Print(doc.dump(2) + "\n");
}

int SummariseFile(const timecode::SourceSpec& spec, const TimecodeArgs& args) {
  timecode::SourceOptions options;
  options.fullSpeed = true;
  options.channel = args.channel - 1;
  std::string error;
  std::unique_ptr<timecode::LtcFileSource> source = timecode::LtcFileSource::Open(spec.name, options, error);
  if (source == nullptr) return ReportError(kName, error, kExitUsage);
  StopSignals stops;
  timecode::TimecodeTally tally;
  source->Start();
  while (!source->Finished() && !StopSignals::Requested()) {
    source->WaitForFrames(50);
    for (const DecodedFrame& frame : source->TakeFrames()) tally.Add(frame);
  }
  source->Stop();
  for (const DecodedFrame& frame : source->TakeFrames()) tally.Add(frame);
  if (StopSignals::Requested()) return ReportError(kName, "stopped before the end of the file", kExitFailure);
  if (!source->Error().empty()) return ReportError(kName, source->Error(), kExitFailure);
  const timecode::TimecodeSummary summary = tally.Summary();
  const double durationMs = source->DurationSeconds() * 1000.0;
  if (args.json) PrintSummaryJson(spec.name, summary, source->FramesRejected(), durationMs);
  if (summary.frames == 0)
    return ReportError(kName, "no timecode found in " + support::TerminalText(spec.name, 512), kExitFailure);
  if (!args.json) PrintSummaryText(summary, source->FramesRejected(), durationMs);
  return kExitOk;
}

std::string LevelText(float dbfs) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", dbfs);
  return text;
}

// The live line: the latest frame heard, and whether the chase a show would run has locked on.
std::string LiveText(const std::optional<DecodedFrame>& last, timecode::ChaseState state, float levelDbfs) {
  std::string text = last ? TimecodeText(last->label, last->rate) : "--:--:--:--";
  text += "  ";
  text += last ? timecode::FrameRateText(last->rate) : "?";
  text += " fps  ";
  text += timecode::ChaseStateText(state);
  text += "  " + LevelText(levelDbfs);
  return text;
}

std::string LiveJson(const std::optional<DecodedFrame>& last, timecode::ChaseState state, float levelDbfs) {
  Json line;
  line["timecode"] = last ? Json(TimecodeText(last->label, last->rate)) : Json(nullptr);
  line["rate"] = last ? Json(timecode::FrameRateText(last->rate)) : Json(nullptr);
  line["state"] = timecode::ChaseStateText(state);
  line["level_dbfs"] = JsonNumberValue(std::round(levelDbfs * 10.0) / 10.0);
  return OneLine(line);
}

int Listen(const timecode::SourceSpec& spec, const TimecodeArgs& args) {
  platform::SteadyClock clock;
  timecode::SourceOptions options;
  options.clock = &clock;
  options.channel = args.channel - 1;
  std::string error;
  std::unique_ptr<timecode::TimecodeSource> source = timecode::OpenTimecodeSource(spec, options, error);
  if (source == nullptr) return ReportError(kName, error, kExitUsage);
  StopSignals stops;
  if (!source->Start()) return ReportError(kName, source->Error(), kExitUsage);
  const bool terminal = ::isatty(STDOUT_FILENO) == 1 && !args.json;
  const uint32_t startTick = clock.TickCount();
  // The very rule a chased show locks and loses by.
  timecode::TimecodeChase chase;
  std::optional<DecodedFrame> last;
  uint32_t lastLine = startTick - kLineEveryMs;
  while (!StopSignals::Requested() && !source->Finished()) {
    source->WaitForFrames(20);
    for (const DecodedFrame& frame : source->TakeFrames()) {
      chase.Feed(frame);
      last = frame;
    }
    const uint32_t now = clock.TickCount();
    chase.Update(static_cast<double>(startTick) + platform::TicksSince(startTick, now));
    const int every = terminal ? kTerminalRefreshMs : kLineEveryMs;
    if (platform::TicksSince(lastLine, now) < static_cast<uint32_t>(every)) continue;
    lastLine = now;
    if (terminal) {
      Print("\r" + LiveText(last, chase.State(), source->LevelDbfs()) + "\033[K");
      std::fflush(stdout);
    } else {
      Print((args.json ? LiveJson(last, chase.State(), source->LevelDbfs())
                       : LiveText(last, chase.State(), source->LevelDbfs())) +
            "\n");
      std::fflush(stdout);
    }
  }
  source->Stop();
  if (terminal) Print("\n");
  if (!source->Error().empty()) return ReportError(kName, source->Error(), kExitFailure);
  if (!last) return ReportError(kName, "no timecode heard from " + SourceSpecText(spec), kExitFailure);
  return kExitOk;
}

int RunTimecode(const TimecodeArgs& args) {
  std::string error;
  const auto spec = timecode::ParseSourceSpec(args.sources.front(), error);
  if (!spec) return PrintUsage(kName, error);
  if (spec->kind == timecode::SourceSpec::Kind::File) return SummariseFile(*spec, args);
  return Listen(*spec, args);
}

Runner SetUpTimecode(CommandLine& line) {
  auto args = std::make_shared<TimecodeArgs>();
  CLI::App& app = line.App();
  app.add_option("SOURCE", args->sources,
                 "capture (the default capture device), capture:NAME, or a sound file (read at full speed)");
  line.Needs(app.add_option("--channel", args->channel, "the channel that carries the timecode (default: all mixed)")
                 ->type_name("N")
                 ->check(CLI::Range(1, 64).description("")),
             "a channel number");
  app.add_flag("--json", args->json, "the summary as JSON (live: one object a line)");
  line.Check([args]() -> std::string {
    if (args->sources.empty()) return "name the source (capture, capture:NAME or a sound file)";
    if (args->sources.size() > 1) return "one source at a time";
    return {};
  });
  return [args] { return RunTimecode(*args); };
}

const CommandRegistration kTimecode{kTimecodeName, kTimecodeUsage, kTimecodeSummary, &SetUpTimecode};

}  // namespace
}  // namespace fd::cli
