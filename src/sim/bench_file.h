#pragma once

#include <optional>
#include <string>

#include "sim/device_config.h"

namespace fd::sim {

// Bench files: one device per line, '#' starts a comment. The format is described in docs/bench.md.
//
// Reading stops at the first bad line with error "<name>:<line>: <reason>" and no bench at all.
std::optional<BenchConfig> ParseBench(const std::string& text, const std::string& name, std::string& error);
// Reads and parses a file; error "<path>: cannot read the file" when it cannot be read.
std::optional<BenchConfig> LoadBenchFile(const std::string& path, std::string& error);

}  // namespace fd::sim
