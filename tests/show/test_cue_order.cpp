#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "devices/cue_record.h"

namespace fd::devices {
namespace {

CueRecord Cue(int32_t time, int32_t tag) {
  CueRecord cue;
  cue.TimeMs = time;
  cue.Console = tag;
  cue.Comment = "cue " + std::to_string(tag) + std::string(static_cast<size_t>(tag % 40), '*');  // some on the heap
  return cue;
}

TEST(SortCuesByTime, MatchesAStableSortOnManyEqualTimes) {
  std::mt19937 random(3);
  std::vector<CueRecord> cues;
  for (int i = 0; i < 20000; ++i) cues.push_back(Cue(static_cast<int32_t>(random() % 50) - 10, i));
  std::vector<CueRecord> expected = cues;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const CueRecord& a, const CueRecord& b) { return a.TimeMs < b.TimeMs; });
  SortCuesByTime(cues);
  ASSERT_EQ(cues.size(), expected.size());
  for (size_t i = 0; i < cues.size(); ++i) {
    ASSERT_EQ(cues[i].TimeMs, expected[i].TimeMs) << i;
    ASSERT_EQ(cues[i].Console, expected[i].Console) << "equal times must keep their order, at " << i;
    ASSERT_EQ(cues[i].Comment, expected[i].Comment) << "the whole record moves, at " << i;
  }
}

TEST(SortCuesByTime, MatchesAStableSortOverTheWholeTimeRange) {
  // Times spread over all 32 bits, clustered and repeated, so that records land in many time ranges
  // of very different sizes.
  std::mt19937 random(11);
  std::vector<CueRecord> cues;
  for (int i = 0; i < 60000; ++i) {
    int32_t time;
    switch (random() % 4) {
      case 0:
        time = static_cast<int32_t>(random());
        break;
      case 1:
        time = static_cast<int32_t>(random() % 100);
        break;
      case 2:
        time = i % 2 ? INT32_MAX : INT32_MIN;
        break;
      default:
        time = 5000000 + static_cast<int32_t>(random() % 7);
    }
    cues.push_back(Cue(time, i));
  }
  std::vector<CueRecord> expected = cues;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const CueRecord& a, const CueRecord& b) { return a.TimeMs < b.TimeMs; });
  SortCuesByTime(cues);
  for (size_t i = 0; i < cues.size(); ++i) {
    ASSERT_EQ(cues[i].TimeMs, expected[i].TimeMs) << i;
    ASSERT_EQ(cues[i].Console, expected[i].Console) << i;
  }
}

TEST(SortCuesByTime, ExtremeTimesAndSmallLists) {
  std::vector<CueRecord> none;
  SortCuesByTime(none);
  EXPECT_TRUE(none.empty());

  std::vector<CueRecord> cues = {Cue(INT32_MAX, 1), Cue(0, 2), Cue(INT32_MIN, 3), Cue(0, 4), Cue(-1, 5)};
  SortCuesByTime(cues);
  std::vector<int32_t> order;
  for (const auto& c : cues) order.push_back(c.Console);
  EXPECT_EQ(order, (std::vector<int32_t>{3, 5, 2, 4, 1}));

  SortCuesByTime(cues);  // already in order: nothing moves
  order.clear();
  for (const auto& c : cues) order.push_back(c.Console);
  EXPECT_EQ(order, (std::vector<int32_t>{3, 5, 2, 4, 1}));
}

}  // namespace
}  // namespace fd::devices
