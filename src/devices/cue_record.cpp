#include "devices/cue_record.h"

#include <algorithm>

namespace fd::devices {

void SortCuesByTime(std::vector<CueRecord>& cues) {
  std::stable_sort(cues.begin(), cues.end(),
                   [](const CueRecord& a, const CueRecord& b) { return a.TimeMs < b.TimeMs; });
}

}  // namespace fd::devices
