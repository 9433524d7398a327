// The bench file parser on arbitrary text: a bench or an error naming the line, nothing between.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/bench_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto bench = fd::sim::ParseBench(text, "fuzz.bench", error);
  if (!bench && error.rfind("fuzz.bench:", 0) != 0) std::abort();
  return 0;
}
