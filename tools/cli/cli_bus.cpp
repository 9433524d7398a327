#include "cli_bus.h"

#include <unistd.h>

#include <cstdio>

#include "bus/tty_driver.h"
#include "bus/usb_port.h"
#include "devices/threadless_engine.h"
#include "platform/loop_platform.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"

namespace fd::cli {

namespace {

// A search that has not finished after this long per pass is given up (about 20 s are usual).
constexpr uint64_t kPassLimitMs = 10 * 60 * 1000;
constexpr int kAddressesPerPass = 256;

}  // namespace

OptionMatch TakeBusOption(const std::vector<std::string>& args, size_t& i, BusOptions& options, std::string& error) {
  const std::string& a = args[i];
  const bool simulate = a == "--simulate" || a.rfind("--simulate=", 0) == 0;
  const bool port = a == "--port" || a.rfind("--port=", 0) == 0;
  if (!simulate && !port) return OptionMatch::NotMine;
  if (options.source != BusOptions::Source::Converter) {
    error = "give one of --simulate and --port, once";
    return OptionMatch::Bad;
  }
  if (simulate) {
    options.source = BusOptions::Source::Simulate;
    if (a != "--simulate") {
      options.benchPath = a.substr(11);
      if (options.benchPath.empty()) {
        error = "--simulate= needs a bench file";
        return OptionMatch::Bad;
      }
    }
    return OptionMatch::Taken;
  }
  options.source = BusOptions::Source::Port;
  if (a == "--port") {
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = "--port needs a device path";
      return OptionMatch::Bad;
    }
    options.portPath = args[++i];
  } else {
    options.portPath = a.substr(7);
    if (options.portPath.empty()) {
      error = "--port= needs a device path";
      return OptionMatch::Bad;
    }
  }
  return OptionMatch::Taken;
}

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

  if (options.source == BusOptions::Source::Simulate) {
    parts.virtualHost = std::make_unique<platform::VirtualPlatform>();
    parts.bench = sim::MakeSimulatedBench(options.benchPath, parts.virtualHost->GetClock(), error);
    if (!parts.bench) {
      if (error.empty()) error = "cannot load the bench \"" + options.benchPath + "\"";
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
    bus->converterText_ = std::string(sim::BenchDriver::kDescription) + " (" +
                          (options.benchPath.empty() ? std::string("default bench") : options.benchPath) + ")";
  } else {
    const bool named = options.source == BusOptions::Source::Port;
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
    bus->converterText_ = named ? options.portPath : description + " " + serial;
    // The engine thread starts here, whether or not the converter opened.
    if (!parts.port->Open()) {
      error = named ? "cannot open the serial device " + options.portPath
                    : "cannot open the converter " + bus->converterText_ + " (in use, or no permission)";
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

bool CliBus::RunUntil(const std::function<bool()>& done, uint64_t limitMs) {
  if (parts_->virtualHost) return parts_->virtualHost->AdvanceUntil(done, limitMs, 5);
  return parts_->loopHost->RunUntil(done, static_cast<uint32_t>(std::min<uint64_t>(limitMs, UINT32_MAX)));
}

bool CliBus::Search(int passes, const std::function<void(int pass, int address, int percent)>& progress) {
  const int total = passes * kAddressesPerPass;
  int steps = 0;
  controls_->OnSearchProgress = [&](int percent, int address) {
    ++steps;
    if (progress) progress((steps - 1) / kAddressesPerPass + 1, address, percent);
  };
  controls_->SetSearchMode(devices::smRegister | devices::smSweep);
  const bool finished = RunUntil([&] { return steps >= total; }, kPassLimitMs * static_cast<uint64_t>(passes));
  controls_->SetSearchMode(devices::smNone);
  controls_->OnSearchProgress = nullptr;
  return finished;
}

}  // namespace fd::cli
