// Files no scenario editor would write: the loader must either take every line or refuse the file
// with its message, never crash and never keep part of it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "platform/virtual_platform.h"
#include "scenario_files.h"
#include "show/project_list.h"

namespace fd::show {
namespace {

// Lines that are not empty once the CR of a CR LF is taken off, as the loader counts them.
int CueLines(std::string_view bytes) {
  int count = 0;
  while (!bytes.empty()) {
    size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) ++count;
    if (lf == std::string_view::npos) break;
    bytes.remove_prefix(lf + 1);
  }
  return count;
}

class HostileFileTest : public ::testing::Test {
 protected:
  // Either all cues or nothing, and a message exactly when nothing.
  void ExpectAllOrNothing(const std::string& bytes, const std::string& what) {
    platform.messages.clear();
    LoadResult r = list.LoadFromFile(folder.Write("hostile.txt", bytes));
    if (r.Ok()) {
      EXPECT_EQ(list.Count(), CueLines(bytes)) << what;
      EXPECT_TRUE(platform.messages.empty()) << what;
      EXPECT_EQ(list.FileName(), "hostile.txt") << what;
      for (int i = 1; i < list.Count(); ++i) EXPECT_LE(list.Items(i - 1).TimeMs, list.Items(i).TimeMs) << what;
    } else {
      EXPECT_EQ(r.Status, LoadStatus::LineError) << what;
      EXPECT_GE(r.Line, 1) << what;
      EXPECT_EQ(list.Count(), 0) << what;
      EXPECT_EQ(list.FileName(), "") << what;
      ASSERT_EQ(platform.messages.size(), 1u) << what;
      EXPECT_EQ(platform.messages[0].text, r.Message) << what;
    }
  }

  platform::VirtualPlatform platform;
  testing::ScenarioFolder folder;
  TProjectList list{platform};
};

TEST_F(HostileFileTest, RandomBinaryGarbage) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 4096, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    ExpectAllOrNothing(bytes, "garbage round " + std::to_string(round));
  }
}

TEST_F(HostileFileTest, RandomLinesFromScenarioCharacters) {
  // Mostly well-formed pieces shuffled together, so that many files get past the first line.
  static const char* kPieces[] = {"1",  "12", "0:01", ":",  ".", "5",    " ",  "\t", "#",           "LT",   "c",
                                  "#R", "-",  "$F",   "0x", "x", "\r\n", "\n", "\r", "99999999999", "\xcf", "\0"};
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    int pieces = static_cast<int>(random() % 60);
    for (int i = 0; i < pieces; ++i) {
      const char* piece = kPieces[random() % std::size(kPieces)];
      bytes += *piece ? std::string(piece) : std::string(1, '\0');
    }
    ExpectAllOrNothing(bytes, "shuffled round " + std::to_string(round));
  }
}

TEST_F(HostileFileTest, OneMegabyteLines) {
  std::string longComment(1 << 20, 'k');
  ExpectAllOrNothing("1 1 1 " + longComment + "\n2 2 2\n", "a 1 MB comment");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0).Comment.size(), 255u);

  // A 3 MB line of blanks ending in a valid cue: longer than any one read.
  std::string blanks(3 << 20, ' ');
  ExpectAllOrNothing(blanks + "4 5 6 end\n", "3 MB of blanks before the fields");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).TimeMs, 4000);
  EXPECT_EQ(list.Items(0).Comment, "end");

  // A 1 MB time field: cut to 32 characters for display, read in full (it is no time: 0).
  ExpectAllOrNothing(std::string(1 << 20, '7') + " 1 1\n", "a 1 MB time field");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).TimeText, std::string(32, '7'));
  EXPECT_EQ(list.Items(0).TimeMs, 0);

  ExpectAllOrNothing("1 1 " + std::string(1 << 20, '9') + "\n", "a 1 MB channel number");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(HostileFileTest, LinesStraddlingReadBoundaries) {
  // Enough short lines to cross several reads; each line must come out whole.
  std::string bytes;
  int lines = 0;
  while (bytes.size() < (5u << 20) / 2) {
    bytes += std::to_string(lines % 1000) + " " + std::to_string(lines % 199 + 1) + " " +
             std::to_string(lines % 512 + 1) + (lines % 3 ? "\r\n" : "\n");
    ++lines;
  }
  ExpectAllOrNothing(bytes, "many short lines");
  ASSERT_EQ(list.Count(), lines);
  long long channelSum = 0, expectedSum = 0;
  for (int i = 0; i < list.Count(); ++i) channelSum += list.Items(i).Channel;
  for (int i = 0; i < lines; ++i) expectedSum += i % 512;
  EXPECT_EQ(channelSum, expectedSum);
}

TEST_F(HostileFileTest, NulBytes) {
  // A NUL inside a number makes it no number.
  ExpectAllOrNothing(std::string("1 1\0 1\n", 7), "NUL after the console");
  EXPECT_EQ(list.Count(), 0);
  ExpectAllOrNothing(std::string("1 1 2\0\n", 7), "NUL after the channel");
  EXPECT_EQ(list.Count(), 0);
  // In a comment it is just another character.
  ExpectAllOrNothing(std::string("1 1 2 a\0b\n", 10), "NUL in the comment");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).Comment, std::string("a\0b", 3));
  // A line of NULs is not empty: it is a cue line without fields.
  ExpectAllOrNothing(std::string(5, '\0') + "\n", "NUL line");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(HostileFileTest, HugeNumbersEverywhere) {
  ExpectAllOrNothing("99999999999 1 1\n", "huge time");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).TimeMs, 0);
  ExpectAllOrNothing("1 -2147483648 2147483647\n", "extreme console and channel");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).Console, INT32_MIN);
  EXPECT_EQ(list.Items(0).Channel, INT32_MAX - 1);
  ExpectAllOrNothing("1 2147483648 1\n", "console one past the top");
  EXPECT_EQ(list.Count(), 0);
  ExpectAllOrNothing("1 1 #LT#99999999999999#842150450\n", "huge motion parameters");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).Param1, 0);
  EXPECT_EQ(list.Items(0).Param2, INT32_MAX);
}

}  // namespace
}  // namespace fd::show
