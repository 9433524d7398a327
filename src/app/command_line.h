#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timecode/timecode_frame.h"

namespace fd::app {

// Which converter the console drives: the FTDI converters found on the USB bus, the virtual bench
// (the shipped one when BenchPath is empty) or a named serial device.
struct ConverterChoice {
  enum class Source { Ftdi, Simulate, Port };
  Source Kind = Source::Ftdi;
  std::string BenchPath;  // Simulate only; empty: the default bench
  std::string PortPath;   // Port only
};

// What the command line asked for. A default object is a plain start.
struct CommandLineOptions {
  ConverterChoice Converter;
  uint8_t LogLevel = 0;               // run log threshold; 0 keeps the log off
  std::string ScenarioPath;           // empty: no scenario at start
  std::string SoundtrackPath;         // empty: no soundtrack at start
  std::string JournalDir;             // empty: journal/ in the records folder
  std::string TimecodeSource;         // empty: start on the program's own clock; F7 then hears "capture"
  timecode::Timecode TimecodeOffset;  // the timecode of show time 0
  std::string ScreenshotPath;         // empty: no screenshot
  int QuitAfterMs = -1;               // negative: run until the operator closes the window
  bool Demo = false;                  // the program plays a sample show through its own window
  std::string DemoShotsPath;          // Demo only: where the pictures of each step go
  bool DemoExit = false;              // Demo only: close the window once the result is printed
  bool HelpRequested = false;
};

struct CommandLineResult {
  bool Ok = false;
  std::string Error;  // set when !Ok: what was wrong, for the operator
  CommandLineOptions Options;
};

// args without the program name.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text, program name first, ending in a newline.
std::string UsageText(const std::string& programName);

}  // namespace fd::app
