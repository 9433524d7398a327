#pragma once

#include <memory>
#include <string>

#include "app/command_line.h"
#include "bus/converter_driver.h"
#include "bus/tty_driver.h"
#include "platform/clock.h"
#include "sim/bench.h"

namespace fd::app {

// The converter library the console talks through, as the command line chose it: the FTDI
// converters found on the USB bus, a named serial device, or the virtual bench in this process
// (whose bench time runs on the given clock).
class ConverterSource {
 public:
  // Nothing (and error says why) when a bench file is bad.
  static std::unique_ptr<ConverterSource> Make(const ConverterChoice& choice, platform::Clock& clock,
                                               std::string& error);

  bus::ConverterDriver& Driver();
  // The bench behind --simulate; nullptr on a real line.
  sim::Bench* Bench() { return bench_.get(); }
  // For the run log and the operator: "virtual bench (default)", "/dev/ttyUSB0", "FTDI converters".
  const std::string& Description() const { return description_; }
  // Whether another program holds the converter's port, and which ones where the system tells.
  bool HeldByAnotherProgram(std::string& holders) const;

 private:
  ConverterSource() = default;

  std::unique_ptr<sim::Bench> bench_;
  std::unique_ptr<bus::TtyDriver> tty_;
  std::string description_;
};

}  // namespace fd::app
