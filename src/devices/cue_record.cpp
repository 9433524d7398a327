#include "devices/cue_record.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace fd::devices {

namespace {

bool Earlier(const CueRecord& a, const CueRecord& b) { return a.TimeMs < b.TimeMs; }

// Stable sort of a short run by small keys (time, position), then each record moved once.
void SortRun(CueRecord* first, size_t count, std::vector<std::pair<int32_t, uint32_t>>& keys,
             std::vector<CueRecord>& scratch) {
  keys.clear();
  for (size_t i = 0; i < count; ++i) keys.emplace_back(first[i].TimeMs, static_cast<uint32_t>(i));
  std::sort(keys.begin(), keys.end());
  scratch.clear();
  for (const auto& key : keys) scratch.push_back(std::move(first[key.second]));
  std::move(scratch.begin(), scratch.end(), first);
}

}  // namespace

void SortCuesByTime(std::vector<CueRecord>& cues) {
  // Scenarios are mostly written in time order already.
  if (std::is_sorted(cues.begin(), cues.end(), Earlier)) return;

  // A record carries two strings and a big list fits no cache: moving records about is what costs.
  // So the records are first dealt into buckets by time range, in place and keeping list order
  // within each bucket; then each bucket, small enough for the cache, is sorted on its own. Equal
  // times always share a bucket, so the whole sort is stable.
  const auto [low, high] = std::minmax_element(cues.begin(), cues.end(), Earlier);
  const int64_t minTime = low->TimeMs;
  const int64_t span = int64_t{high->TimeMs} - minTime + 1;
  constexpr size_t kRecordsPerBucket = 2048;
  const size_t buckets = std::max<size_t>(1, std::min<size_t>(cues.size() / kRecordsPerBucket, 1 << 16));
  auto bucketOf = [&](const CueRecord& cue) {
    return static_cast<size_t>((int64_t{cue.TimeMs} - minTime) * static_cast<int64_t>(buckets) / span);
  };

  std::vector<size_t> start(buckets + 1, 0);
  for (const auto& cue : cues) ++start[bucketOf(cue) + 1];
  for (size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];

  // Where each record goes: the next place of its bucket, in list order. The records are then put
  // there by following the cycles of that permutation.
  std::vector<uint32_t> to(cues.size());
  std::vector<size_t> next(start.begin(), start.end() - 1);
  for (size_t i = 0; i < cues.size(); ++i) to[i] = static_cast<uint32_t>(next[bucketOf(cues[i])]++);
  for (size_t i = 0; i < cues.size(); ++i) {
    while (to[i] != i) {
      const uint32_t j = to[i];
      std::swap(cues[i], cues[j]);
      std::swap(to[i], to[j]);
    }
  }

  std::vector<std::pair<int32_t, uint32_t>> keys;
  std::vector<CueRecord> scratch;
  for (size_t b = 0; b < buckets; ++b) {
    CueRecord* first = cues.data() + start[b];
    const size_t count = start[b + 1] - start[b];
    if (count > 1 && !std::is_sorted(first, first + count, Earlier)) SortRun(first, count, keys, scratch);
  }
}

}  // namespace fd::devices
