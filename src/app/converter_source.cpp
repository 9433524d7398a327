#include "app/converter_source.h"

#include <cstdio>

#include "support/run_log.h"
#include "support/terminal_text.h"

namespace fd::app {

std::unique_ptr<ConverterSource> ConverterSource::Make(const ConverterChoice& choice, platform::Clock& clock,
                                                       std::string& error) {
  std::unique_ptr<ConverterSource> source(new ConverterSource());
  switch (choice.Kind) {
    case ConverterChoice::Source::Simulate:
      source->bench_ = sim::MakeSimulatedBench(choice.BenchPath, clock, error);
      if (!source->bench_) {
        if (error.empty()) error = "cannot load the bench \"" + support::TerminalPath(choice.BenchPath) + "\"";
        return nullptr;
      }
      source->description_ =
          "virtual bench (" + (choice.BenchPath.empty() ? std::string("default") : choice.BenchPath) + ")";
      break;
    case ConverterChoice::Source::Port:
      source->tty_ = std::make_unique<bus::TtyDriver>(choice.PortPath);
      source->description_ = choice.PortPath;
      break;
    case ConverterChoice::Source::Ftdi:
      source->tty_ = std::make_unique<bus::TtyDriver>();
      source->description_ = "FTDI converters";
      break;
  }
  if (source->tty_) {
    // Why the converter did not open (another program holds it, no permission) goes to the run log
    // and the terminal, once per new reason; the window's warning names it too.
    source->tty_->OnOpenProblem = [description =
                                       support::TerminalPath(source->description_)](const std::string& problem) {
      support::WriteLog("Преобразователь RS485 не открыт (" + description + "): " + problem, 1);
      std::fprintf(stderr, "firnadesk: cannot open %s: %s\n", description.c_str(),
                   support::TerminalText(problem, 1024).c_str());
    };
  }
  return source;
}

bool ConverterSource::HeldByAnotherProgram(std::string& holders) const {
  return tty_ && tty_->HeldByAnotherProgram(holders);
}

bus::ConverterDriver& ConverterSource::Driver() {
  if (bench_) return bench_->Driver();
  return *tty_;
}

}  // namespace fd::app
