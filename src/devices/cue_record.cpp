#include "devices/cue_record.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace fd::devices {

void SortCuesByTime(std::vector<CueRecord>& cues) {
  auto earlier = [](const CueRecord& a, const CueRecord& b) { return a.TimeMs < b.TimeMs; };
  // Scenarios are mostly written in time order already.
  if (std::is_sorted(cues.begin(), cues.end(), earlier)) return;

  // Sort small keys instead of whole records (each carries two strings), with the position as the
  // tie-break so that equal times keep their order.
  std::vector<std::pair<int32_t, uint32_t>> keys;
  keys.reserve(cues.size());
  for (size_t i = 0; i < cues.size(); ++i) keys.emplace_back(cues[i].TimeMs, static_cast<uint32_t>(i));
  std::sort(keys.begin(), keys.end());

  // Gather the records in their new order. The reads jump around a large list, so the next few are
  // announced to the cache ahead of time.
  constexpr size_t kAhead = 8;
  std::vector<CueRecord> sorted;
  sorted.reserve(cues.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i + kAhead < keys.size()) __builtin_prefetch(&cues[keys[i + kAhead].second]);
    sorted.push_back(std::move(cues[keys[i].second]));
  }
  cues = std::move(sorted);
}

}  // namespace fd::devices
