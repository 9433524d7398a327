#pragma once

// Opening the bus for a command: the options every bus command shares, and one object that holds
// the platform, the converter port, the engine and the device registry together.
//
//   --simulate[=BENCH]  the virtual bench in this process (the default bench without a file), run
//                       on a virtual clock: a search takes no real time (a rehearsal asks for the
//                       bench on the real clock instead, with the engine thread as on a real line);
//   --port PATH         the serial driver on that device (an RS485 adapter, a pseudo-terminal);
//   neither             the serial driver on the FTDI converters it finds.
// With a real line the engine thread reads in the background and time is real.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bus/tport.h"
#include "devices/controls.h"
#include "platform/platform.h"

namespace fd::sim {
class Bench;
}

namespace fd::cli {

struct BusOptions {
  enum class Source { Converter, Port, Simulate };
  Source source = Source::Converter;
  std::string portPath;   // --port
  std::string benchPath;  // --simulate=BENCH; empty: the default bench
  // The in-process bench on the real clock: a show has to take the time it takes.
  bool realTime = false;
};

// The usage text of the bus options.
inline constexpr const char* kBusOptionsUsage = "[--simulate[=BENCH] | --port PATH]";

class CommandLine;
// Declares --simulate and --port on a command; once parsed, options holds the choice and *given
// (when not null) tells whether either was named. Both at once, either twice, or a missing or
// option-like value are usage errors.
void AddBusOptions(CommandLine& line, BusOptions& options, bool* given = nullptr);

// The exit status for a bus that did not open: no converter (3) when the program looked for FTDI
// converters, otherwise a device or bench that cannot be used (2).
int OpenFailureExit(const BusOptions& options);

// A status line on standard error that rewrites itself; silent unless standard error is a terminal.
class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  void Show(const std::string& text);
  void Clear();
  bool Enabled() const { return enabled_; }

 private:
  bool enabled_ = false;
  bool shown_ = false;
};

class CliBus {
 public:
  // Opens the bus. On failure returns none with a message for standard error.
  static std::unique_ptr<CliBus> Open(const BusOptions& options, std::string& error);
  ~CliBus();
  CliBus(const CliBus&) = delete;
  CliBus& operator=(const CliBus&) = delete;

  platform::Platform& Host() { return *platform_; }
  bus::TPort& Port() { return *port_; }
  devices::TControls& Controls() { return *controls_; }
  bool Simulated() const { return simulated_; }
  // The in-process bench (its fire log tells what the consoles did); none on a real line.
  sim::Bench* SimulatedBench();
  // What the program talks through, for the report ("Virtual RS485 bench (default bench)",
  // "FTDI ... serial FT123", "/dev/ttyUSB0").
  const std::string& ConverterText() const { return converterText_; }

  // Lets the program run until done() holds or limitMs passed (virtual milliseconds on the
  // bench): timers fire, frames heard on the bus reach the registry. True when done() held.
  bool RunUntil(const std::function<bool()>& done, uint64_t limitMs);

  // Searches the bus for `passes` full sweeps of the 256 addresses and stops the search.
  // progress(pass, address, percent) follows every step. False if it did not finish in time or
  // stop() held (checked between steps).
  bool Search(int passes, const std::function<void(int pass, int address, int percent)>& progress,
              const std::function<bool()>& stop = nullptr);
  // Registers just the radio modules, the remote control and these consoles, one probe each, so
  // that a scenario command starts at once. Returns how many answered; stop() ends it between
  // probes.
  int SearchListed(const std::vector<int>& consoles, const std::function<bool()>& stop = nullptr);

  // Everything the bus delivers unsolicited goes to the registry first, then here.
  std::function<void(const bus::Frame6&, int converter)> OnOtherFrame;

  struct Parts;  // what a kind of bus needs to stay alive (defined in cli_bus.cpp)

 private:
  CliBus();

  std::unique_ptr<Parts> parts_;
  platform::Platform* platform_ = nullptr;
  bus::TPort* port_ = nullptr;
  std::unique_ptr<devices::TControls> controls_;
  bool simulated_ = false;
  std::string converterText_;
};

}  // namespace fd::cli
