#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace fd::devices {

// Result codes of the scenario write and verify besides the bus engine's own (0, -1, -2, -3).
inline constexpr int kScenarioUnfit = -1;         // a cue no record of its console can hold; nothing sent
inline constexpr int kScenarioMotorTooOld = -10;  // a motor console below firmware 165 has cues
inline constexpr int kScenarioMismatch = -100;    // the verify found a difference
inline constexpr int kScenarioCancelled = -101;   // the operator cancelled

// The time of an empty record: 65535 x 100 ms, the largest coarse time a record holds.
inline constexpr int32_t kFillerTime = 6553500;

// The message the operator sees for a run's result, or nullptr for the codes that show none
// (success, -10 and codes this table does not know).
const char* ScenarioResultMessage(int code);
// The message of a run as the operator sees it: the scenario fault with its line and cause when the
// run refused the scenario (faultLine set), else ScenarioResultMessage; empty for none.
std::string ScenarioRunMessage(int code, const std::optional<int>& faultLine, const std::string& cause = {});

// Progress of a run: (C x i + j) / (C x D) x 100 rounded half away from zero, for cue j of C while
// registry position i of D is handled. 0 when there is nothing to count.
int MemoryProgressPercent(int64_t cueCount, int64_t deviceIndex, int64_t cueIndex, int64_t deviceCount);

}  // namespace fd::devices
