#pragma once

namespace fd::sim {

// The bench served when none is named. The same text ships as benches/default.bench.
extern const char* const kDefaultBenchText;
inline constexpr const char* kDefaultBenchName = "default.bench";

}  // namespace fd::sim
