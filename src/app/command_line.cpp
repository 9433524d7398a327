#include "app/command_line.h"

#include <charconv>
#include <climits>
#include <optional>
#include <set>

#include "timecode/ltc_source.h"

namespace fd::app {

namespace {

// Plain decimal digits only, within [0, max]: no sign, no blanks, no hexadecimal.
std::optional<long long> DecimalInRange(const std::string& text, long long max) {
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < 0 || value > max) return std::nullopt;
  return value;
}

// Splits "--name=value" into name and value; hasValue tells whether "=" was there.
void SplitOption(const std::string& arg, std::string& name, std::string& value, bool& hasValue) {
  const auto eq = arg.find('=');
  hasValue = eq != std::string::npos;
  name = hasValue ? arg.substr(0, eq) : arg;
  value = hasValue ? arg.substr(eq + 1) : std::string();
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineResult result;
  CommandLineOptions& o = result.Options;
  bool simulate = false;
  bool port = false;
  bool shots = false;

  auto fail = [&result](const std::string& error) {
    result.Ok = false;
    result.Error = error;
    return result;
  };

  // An option given twice is a slip (which of two ports was meant?), never the last one silently.
  std::set<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name, value;
    bool inlineValue = false;
    SplitOption(arg, name, value, inlineValue);
    if (name.rfind("--", 0) == 0 || name == "-h") {
      const std::string canonical = name == "-h" ? "--help" : name;
      if (!seen.insert(canonical).second) return fail(canonical + " given twice");
    }

    if (name == "--help" || name == "-h") {
      if (inlineValue) return fail("option " + name + " takes no value");
      o.HelpRequested = true;
      continue;
    }
    if (name == "--demo") {
      if (inlineValue) return fail("option --demo takes no value");
      o.Demo = true;
      continue;
    }
    if (name == "--demo-exit") {
      if (inlineValue) return fail("option --demo-exit takes no value");
      o.DemoExit = true;
      continue;
    }
    if (name == "--simulate") {
      if (inlineValue && value.empty()) return fail("--simulate=: the bench file name is missing");
      simulate = true;
      o.Converter.BenchPath = value;
      continue;
    }

    const bool takesValue = name == "--port" || name == "--log-level" || name == "--screenshot" ||
                            name == "--quit-after" || name == "--scenario" || name == "--soundtrack" ||
                            name == "--demo-shots" || name == "--journal-dir" || name == "--timecode" ||
                            name == "--timecode-offset";
    if (!takesValue) {
      if (!arg.empty() && arg[0] == '-') return fail("unknown option: " + arg);
      return fail("unexpected argument: " + arg);
    }
    if (!inlineValue) {
      // The value is the next argument, unless that is another option.
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) return fail(name + ": value missing");
      value = args[++i];
    }
    if (value.empty()) return fail(name + ": value missing");

    if (name == "--port") {
      port = true;
      o.Converter.PortPath = value;
    } else if (name == "--log-level") {
      const auto level = DecimalInRange(value, UINT8_MAX);
      if (!level) return fail("--log-level: not a number from 0 to 255: " + value);
      o.LogLevel = static_cast<uint8_t>(*level);
    } else if (name == "--screenshot") {
      o.ScreenshotPath = value;
    } else if (name == "--scenario") {
      o.ScenarioPath = value;
    } else if (name == "--soundtrack") {
      o.SoundtrackPath = value;
    } else if (name == "--journal-dir") {
      o.JournalDir = value;
    } else if (name == "--timecode") {
      std::string error;
      if (!timecode::ParseSourceSpec(value, error)) return fail("--timecode: " + error);
      o.TimecodeSource = value;
    } else if (name == "--timecode-offset") {
      const std::optional<timecode::Timecode> offset = timecode::ParseTimecode(value);
      if (!offset) return fail("--timecode-offset: not a timecode HH:MM:SS:FF: " + value);
      o.TimecodeOffset = *offset;
    } else if (name == "--demo-shots") {
      shots = true;
      o.DemoShotsPath = value;
    } else {
      const auto ms = DecimalInRange(value, INT_MAX);
      if (!ms) return fail("--quit-after: not a number of milliseconds: " + value);
      o.QuitAfterMs = static_cast<int>(*ms);
    }
  }

  if (simulate && port) return fail("--simulate and --port exclude each other");
  if (shots && !o.Demo) return fail("--demo-shots: only with --demo");
  if (o.DemoExit && !o.Demo) return fail("--demo-exit: only with --demo");
  if (o.Demo) {
    // The sample show is made for the shipped bench: anywhere else cues would fire on whatever is
    // connected there, and a file named here would be replaced without the operator seeing it.
    if (port) return fail("--demo runs on the virtual bench only, not with --port");
    if (simulate && !o.Converter.BenchPath.empty()) return fail("--demo runs on the shipped bench only");
    if (!o.ScenarioPath.empty() || !o.SoundtrackPath.empty())
      return fail("--demo makes its own show: no --scenario or --soundtrack");
    if (!o.TimecodeSource.empty() || seen.count("--timecode-offset") != 0)
      return fail("--demo runs on its own clock: no --timecode or --timecode-offset");
    simulate = true;
    if (o.DemoShotsPath.empty()) o.DemoShotsPath = "screenshots";
  }
  if (simulate) o.Converter.Kind = ConverterChoice::Source::Simulate;
  if (port) o.Converter.Kind = ConverterChoice::Source::Port;
  if (!simulate) o.Converter.BenchPath.clear();
  if (!port) o.Converter.PortPath.clear();
  result.Ok = true;
  return result;
}

std::string UsageText(const std::string& programName) {
  return "usage: " + programName +
         " [--simulate[=BENCH]] [--port PATH] [--log-level N] [--scenario FILE] [--soundtrack FILE]\n"
         "       [--journal-dir DIR] [--timecode SOURCE [--timecode-offset HH:MM:SS:FF]]\n"
         "       [--screenshot FILE] [--quit-after MS] [--demo [--demo-shots DIR] [--demo-exit]]\n"
         "  --simulate[=BENCH]  run on the virtual bench (the shipped one, or the bench file BENCH)\n"
         "  --port PATH         use the serial device PATH instead of looking for FTDI converters\n"
         "  --log-level N       run log threshold 0..255 (default 0: no log; 1 logs every event)\n"
         "  --scenario FILE     load the scenario FILE at start, as if picked with F2\n"
         "  --soundtrack FILE   load the soundtrack FILE at start, as if picked with F3\n"
         "  --journal-dir DIR   write the show journals into DIR (default: journal/ beside logs/)\n"
         "  --timecode SOURCE   chase timecode from the start (F7 toggles): capture, capture:NAME or LTC file\n"
         "  --timecode-offset HH:MM:SS:FF  the timecode of show time 0 (default 00:00:00:00)\n"
         "  --screenshot FILE   save a PNG picture of the main window once it is shown\n"
         "  --quit-after MS     close the main window MS milliseconds after it is shown\n"
         "  --demo              on the virtual bench, play a generated sample show through the whole\n"
         "                      operator's path; the last line tells how many cues fired\n"
         "  --demo-shots DIR    where the demo saves a picture after each step (default: screenshots)\n"
         "  --demo-exit         end the program when the demo is over (so without a display)\n";
}

}  // namespace fd::app
