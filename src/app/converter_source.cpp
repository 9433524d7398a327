#include "app/converter_source.h"

namespace fd::app {

std::unique_ptr<ConverterSource> ConverterSource::Make(const ConverterChoice& choice, platform::Clock& clock,
                                                       std::string& error) {
  std::unique_ptr<ConverterSource> source(new ConverterSource());
  switch (choice.Kind) {
    case ConverterChoice::Source::Simulate:
      source->bench_ = sim::MakeSimulatedBench(choice.BenchPath, clock, error);
      if (!source->bench_) {
        if (error.empty()) error = "cannot load the bench \"" + choice.BenchPath + "\"";
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
  return source;
}

bus::ConverterDriver& ConverterSource::Driver() {
  if (bench_) return bench_->Driver();
  return *tty_;
}

}  // namespace fd::app
