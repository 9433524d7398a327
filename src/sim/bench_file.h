#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/device_config.h"

namespace fd::sim {

// Bench files: one device per line, '#' starts a comment. The format is described in docs/bench.md.
//
// Reading stops at the first bad line with error "<name>:<line>: <reason>" and no bench at all.
std::optional<BenchConfig> ParseBench(const std::string& text, const std::string& name, std::string& error);
// Far above any real bench: a file beyond this is refused once it passes the limit.
inline constexpr uint64_t kMaxBenchFileBytes = uint64_t{16} << 20;

// Reads and parses a file; error "<path>: cannot read the file" when it cannot be read (a
// directory included), and a refusal past kMaxBenchFileBytes without reading the rest.
std::optional<BenchConfig> LoadBenchFile(const std::string& path, std::string& error);

}  // namespace fd::sim
