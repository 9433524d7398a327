#include "cli_bus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "bus/tty_driver.h"
#include "bus/usb_port.h"
#include "cli_command.h"
#include "devices/threadless_engine.h"
#include "platform/loop_platform.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"
#include "support/terminal_text.h"

namespace fd::cli {

namespace {

// A search that has not finished after this long per pass is given up (about 20 s are usual).
constexpr uint64_t kPassLimitMs = 10 * 60 * 1000;
constexpr int kAddressesPerPass = 256;

std::string BenchText(const BusOptions& options) {
  return std::string(sim::BenchDriver::kDescription) + " (" +
         (options.benchPath.empty() ? std::string("default bench") : support::TerminalPath(options.benchPath)) + ")";
}

}  // namespace

void AddBusOptions(CommandLine& line, BusOptions& options, bool* given) {
  CLI::App& app = line.App();
  // Only "--simulate=BENCH" carries a value; which form was given is read from the arguments
  // themselves, so that no bench file name can stand for the default bench.
  auto simulate = std::make_shared<std::string>();
  CLI::Option* sim =
      app.add_flag("--simulate", *simulate, "the virtual bench in this process (the default bench, or the file BENCH)")
          ->option_text("[=BENCH]");
  line.AllowValue(sim);
  CLI::Option* port = app.add_option("--port", options.portPath, "a serial device: an RS485 adapter, a pseudo-terminal")
                          ->type_name("PATH")
                          ->check(CLI::Validator(
                              [](std::string& value) -> std::string {
                                if (value.empty()) return "--port needs a device path";
                                // "--port --simulate": an option where the path should be is a slip, never a device.
                                if (value[0] == '-')
                                  return "--port needs a device path, not the option \"" + value + "\"";
                                return {};
                              },
                              "", "device path"));
  line.Needs(port, "a device path");
  // The flag writes into *simulate while parsing: the check keeps it alive.
  line.Check([&line, &options, given, simulate, sim, port]() -> std::string {
    std::string benchPath;
    for (const std::string& a : line.Args()) {
      if (a == "--simulate=") return "--simulate= needs a bench file";
      if (a.rfind("--simulate=", 0) == 0) benchPath = a.substr(11);
    }
    if (sim->count() + port->count() > 1) return "give one of --simulate and --port, once";
    if (given) *given = sim->count() + port->count() > 0;
    if (sim->count() > 0) {
      options.source = BusOptions::Source::Simulate;
      options.benchPath = benchPath;
    } else if (port->count() > 0) {
      options.source = BusOptions::Source::Port;
    }
    return {};
  });
}

int OpenFailureExit(const BusOptions& options) {
  return options.source == BusOptions::Source::Converter ? kExitNoConverter : kExitUsage;
}

namespace {

// Only a terminal can be an RS485 line; a regular file or /dev/null would make the search wait
// for answers that cannot come.
std::string SerialDeviceProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    // A path past the system's limits never opens; a missing device is told by the open.
    return errno == ENAMETOOLONG || errno == ELOOP ? support::SystemErrorText(errno) : std::string();
  }
  if (!S_ISCHR(info.st_mode)) return "not a serial device";
  // A device the kernel lists as a tty (ttyUSB0, ttyS0) is not opened here: each open of a real
  // line moves its modem lines, and the driver opens it soon enough. Anything else, a
  // pseudo-terminal or /dev/null, is asked.
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    const std::string name = std::filesystem::path(real).filename().string();
    std::free(real);
    struct stat listed {};
    if (!name.empty() && ::stat(("/sys/class/tty/" + name).c_str(), &listed) == 0) return {};
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  const bool terminal = ::isatty(fd) == 1;
  ::close(fd);
  return terminal ? std::string() : "not a serial device";
}

}  // namespace

ProgressLine::ProgressLine() : enabled_(::isatty(STDERR_FILENO) == 1) {}
ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(const std::string& text) {
  if (!enabled_) return;
  std::fprintf(stderr, "\r%s\033[K", text.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!enabled_ || !shown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  shown_ = false;
}

// Everything one kind of bus needs alive, in the order it has to be built.
struct CliBus::Parts {
  // The in-process bench on virtual time.
  std::unique_ptr<platform::VirtualPlatform> virtualHost;
  std::unique_ptr<sim::Bench> bench;
  std::unique_ptr<devices::ThreadlessEngine> threadless;
  // A real line in real time.
  std::unique_ptr<platform::LoopPlatform> loopHost;
  std::unique_ptr<bus::TtyDriver> tty;

  std::unique_ptr<bus::TPort> port;
};

CliBus::CliBus() : parts_(std::make_unique<Parts>()) {}

CliBus::~CliBus() {
  if (controls_) {
    controls_->SetSearchMode(devices::smNone);
    controls_->OnChange = nullptr;
    controls_->OnSearchProgress = nullptr;
  }
  if (parts_->port) {
    parts_->port->OnMessage = nullptr;
    // Stops the engine thread, serving a hand-over it may be waiting in.
    parts_->port->Terminate();
  }
  if (parts_->threadless) parts_->threadless->Stop();
  controls_.reset();
  parts_->port.reset();
  parts_->threadless.reset();
  parts_->bench.reset();
  parts_->tty.reset();
}

std::unique_ptr<CliBus> CliBus::Open(const BusOptions& options, std::string& error) {
  std::unique_ptr<CliBus> bus(new CliBus());
  Parts& parts = *bus->parts_;

  if (options.source == BusOptions::Source::Simulate && options.realTime) {
    // As on a real line: the engine thread reads in the background and waits are real.
    parts.loopHost = std::make_unique<platform::LoopPlatform>();
    parts.bench = sim::MakeSimulatedBench(options.benchPath, parts.loopHost->GetClock(), error);
    if (!parts.bench) {
      if (error.empty()) error = "cannot load the bench \"" + support::TerminalPath(options.benchPath) + "\"";
      return nullptr;
    }
    auto usb = std::make_unique<bus::TUSBPort>(parts.bench->Driver(), parts.loopHost->GetClock(), 1);
    parts.port = std::make_unique<bus::TPort>(*parts.loopHost, std::move(usb));
    bus->controls_ = std::make_unique<devices::TControls>(*parts.port, *parts.loopHost);
    bus->platform_ = parts.loopHost.get();
    bus->simulated_ = true;
    bus->converterText_ = BenchText(options);
    if (!parts.port->Open()) {
      error = "the virtual bench has no converter to open";
      return nullptr;
    }
  } else if (options.source == BusOptions::Source::Simulate) {
    parts.virtualHost = std::make_unique<platform::VirtualPlatform>();
    parts.bench = sim::MakeSimulatedBench(options.benchPath, parts.virtualHost->GetClock(), error);
    if (!parts.bench) {
      if (error.empty()) error = "cannot load the bench \"" + support::TerminalPath(options.benchPath) + "\"";
      return nullptr;
    }
    parts.threadless = std::make_unique<devices::ThreadlessEngine>(*parts.virtualHost);
    auto usb = std::make_unique<bus::TUSBPort>(parts.bench->Driver(), parts.virtualHost->GetClock(), 1);
    if (!usb->Open()) {
      error = "the virtual bench has no converter to open";
      return nullptr;
    }
    parts.port = std::make_unique<bus::TPort>(parts.threadless->EnginePlatform(), std::move(usb));
    parts.threadless->Attach(*parts.port);
    bus->controls_ = std::make_unique<devices::TControls>(*parts.port, parts.threadless->RegistryPlatform());
    bus->platform_ = parts.virtualHost.get();
    bus->simulated_ = true;
    bus->converterText_ = BenchText(options);
  } else {
    const bool named = options.source == BusOptions::Source::Port;
    if (named) {
      if (std::string problem = SerialDeviceProblem(options.portPath); !problem.empty()) {
        error = support::TerminalPath(options.portPath) + ": " + problem;
        return nullptr;
      }
    }
    parts.loopHost = std::make_unique<platform::LoopPlatform>();
    parts.tty = named ? std::make_unique<bus::TtyDriver>(options.portPath) : std::make_unique<bus::TtyDriver>();
    uint32_t listed = 0;
    if (!named && (parts.tty->ListCount(listed) != bus::FT_OK || listed == 0)) {
      error = "no FTDI converter found (plug one in, or name a serial device with --port PATH)";
      return nullptr;
    }
    std::string serial;
    std::string description;
    parts.tty->ListSerialNumber(0, serial);
    parts.tty->ListDescription(0, description);
    auto usb = std::make_unique<bus::TUSBPort>(*parts.tty, parts.loopHost->GetClock(), 1);
    parts.port = std::make_unique<bus::TPort>(*parts.loopHost, std::move(usb));
    bus->controls_ = std::make_unique<devices::TControls>(*parts.port, *parts.loopHost);
    bus->platform_ = parts.loopHost.get();
    bus->converterText_ =
        named ? support::TerminalPath(options.portPath) : support::TerminalText(description + " " + serial);
    const std::string what = named ? "cannot open the serial device " + support::TerminalPath(options.portPath)
                                   : "cannot open the converter " + bus->converterText_;
    // The engine thread starts here, whether or not the converter opened: the port counts a listed
    // converter as open and would keep retrying it, so the driver's reason is asked for first. A
    // command cannot wait for a port another program holds: it says so at once.
    const bool listedOpen = parts.port->Open();
    if (std::string problem = parts.tty->OpenProblem(); !problem.empty()) {
      error = what + ": " + problem;
      return nullptr;
    }
    if (!listedOpen) {
      error = named ? what : what + " (in use, or no permission)";
      return nullptr;
    }
  }

  bus->port_ = parts.port.get();
  CliBus* self = bus.get();
  bus->port_->OnMessage = [self](const bus::Frame6& frame, int converter) {
    self->controls_->HandleFrame(frame, converter);
    if (auto other = self->OnOtherFrame) other(frame, converter);
  };
  if (parts.threadless) parts.threadless->Start(1);
  return bus;
}

sim::Bench* CliBus::SimulatedBench() { return parts_->bench.get(); }

int CliBus::SearchListed(const std::vector<int>& consoles, const std::function<bool()>& stop) {
  const int answered = controls_->SearchListed(consoles, stop);
  // Announcements heard meanwhile reach the registry before the command goes on.
  platform_->ProcessPendingEvents();
  return answered;
}

bool CliBus::RunUntil(const std::function<bool()>& done, uint64_t limitMs) {
  if (parts_->virtualHost) return parts_->virtualHost->AdvanceUntil(done, limitMs, 5);
  return parts_->loopHost->RunUntil(done, static_cast<uint32_t>(std::min<uint64_t>(limitMs, UINT32_MAX)));
}

bool CliBus::Search(int passes, const std::function<void(int pass, int address, int percent)>& progress,
                    const std::function<bool()>& stop) {
  const int total = passes * kAddressesPerPass;
  int steps = 0;
  controls_->OnSearchProgress = [&](int percent, int address) {
    ++steps;
    if (progress) progress((steps - 1) / kAddressesPerPass + 1, address, percent);
  };
  controls_->SetSearchMode(devices::smRegister | devices::smSweep);
  bool stopped = false;
  RunUntil([&] { return steps >= total || (stopped = stop && stop()); }, kPassLimitMs * static_cast<uint64_t>(passes));
  controls_->SetSearchMode(devices::smNone);
  controls_->OnSearchProgress = nullptr;
  return steps >= total && !stopped;
}

}  // namespace fd::cli
