#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "platform/virtual_platform.h"
#include "scenario_files.h"
#include "show/project_list.h"
#include "show/sample_show.h"
#include "sim/bench_file.h"
#include "sim/default_bench.h"

namespace fd::show {
namespace {

uint32_t Le(const std::string& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SampleShowTest, TheWrittenFileLoadsAsThePlannedCues) {
  const SampleShow show = MakeSampleShow();
  testing::ScenarioFolder folder;
  SampleShowFiles files;
  std::string error;
  ASSERT_TRUE(WriteSampleShow(show, folder.Path(""), files, error)) << error;

  platform::VirtualPlatform platform;
  TProjectList list(platform);
  const LoadResult loaded = list.LoadFromFile(files.ScenarioPath);
  ASSERT_TRUE(loaded.Ok()) << loaded.Message;
  EXPECT_TRUE(loaded.EncodingHint.empty()) << "the file must read as Windows-1251: " << loaded.EncodingHint;
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(list.FileName(), "demo-show.txt");
  ASSERT_EQ(list.Count(), static_cast<int>(show.Cues.size()));
  for (int i = 0; i < list.Count(); ++i) {
    const devices::CueRecord& got = list.Items(i);
    const devices::CueRecord& want = show.Cues[static_cast<size_t>(i)];
    SCOPED_TRACE("line " + std::to_string(want.Line));
    EXPECT_EQ(got.TimeText, want.TimeText);
    EXPECT_EQ(got.TimeMs, want.TimeMs);
    EXPECT_EQ(got.Console, want.Console);
    EXPECT_EQ(got.CueKind, want.CueKind);
    if (want.CueKind == devices::ChannelCue) {
      EXPECT_EQ(got.Channel, want.Channel);
    }
    EXPECT_EQ(got.Param1, want.Param1);
    EXPECT_EQ(got.Param2, want.Param2);
    EXPECT_EQ(got.Comment, want.Comment);
    EXPECT_EQ(got.Line, want.Line);
  }
  EXPECT_EQ(list.LastTime(), show.LengthMs);
  // The operator reads the comments in the list: Cyrillic, not mojibake.
  EXPECT_EQ(list.Items(0).Comment, "Открытие");
}

TEST(SampleShowTest, EveryCueStandsOnAConnectedChannelOfTheDefaultBench) {
  std::string error;
  const auto bench = sim::ParseBench(sim::kDefaultBenchText, sim::kDefaultBenchName, error);
  ASSERT_TRUE(bench) << error;
  std::map<int, const sim::ConsoleConfig*> consoles;
  for (const sim::ConsoleConfig& c : bench->consoles) consoles[c.address] = &c;

  const SampleShow show = MakeSampleShow();
  std::set<std::pair<int, int>> used;
  std::map<int32_t, int> cuesAt;
  std::set<int> consolesUsed;
  int motions = 0;
  for (const devices::CueRecord& cue : show.Cues) {
    SCOPED_TRACE("line " + std::to_string(cue.Line));
    ASSERT_TRUE(consoles.count(cue.Console));
    const sim::ConsoleConfig& console = *consoles[cue.Console];
    consolesUsed.insert(cue.Console);
    ++cuesAt[cue.TimeMs];
    if (devices::IsMotionCue(cue.CueKind)) {
      EXPECT_EQ(console.typeLetter, 'P') << "motions only on the motor console";
      ++motions;
      continue;
    }
    const int wire = cue.Channel + 1;
    EXPECT_GE(wire, 1);
    EXPECT_LE(wire, console.channels);
    EXPECT_EQ(console.channelStates.count(wire), 0u) << "console " << cue.Console << " channel " << wire;
    EXPECT_TRUE(used.insert({cue.Console, wire}).second) << "a channel fires once";
  }
  EXPECT_GE(show.Cues.size(), 30u);
  EXPECT_GE(consolesUsed.size(), 6u);
  EXPECT_EQ(motions, 2);
  int biggestBurst = 0;
  for (const auto& [time, count] : cuesAt) biggestBurst = std::max(biggestBurst, count);
  EXPECT_GE(biggestBurst, 5);
  EXPECT_GE(show.LengthMs, 50000);
  EXPECT_LE(show.LengthMs, 65000);
  for (size_t i = 1; i < show.Cues.size(); ++i) EXPECT_LE(show.Cues[i - 1].TimeMs, show.Cues[i].TimeMs);
}

TEST(SampleShowTest, TheSoundtrackIsATonePastTheLastCue) {
  const SampleShow show = MakeSampleShow();
  testing::ScenarioFolder folder;
  SampleShowFiles files;
  std::string error;
  ASSERT_TRUE(WriteSampleShow(show, folder.Path(""), files, error)) << error;
  const std::string wav = ReadAll(files.SoundtrackPath);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
  EXPECT_EQ(Le(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(Le(wav, 22, 2), 1u);  // mono
  EXPECT_EQ(Le(wav, 24, 4), 44100u);
  EXPECT_EQ(Le(wav, 28, 4), 88200u);
  EXPECT_EQ(Le(wav, 32, 2), 2u);
  EXPECT_EQ(Le(wav, 34, 2), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  const uint32_t dataBytes = Le(wav, 40, 4);
  EXPECT_EQ(dataBytes, wav.size() - 44);
  const double seconds = dataBytes / 2.0 / 44100.0;
  EXPECT_DOUBLE_EQ(seconds, (show.LengthMs + 1000) / 1000.0);

  // A tone, not silence: the samples swing both ways at a quarter of full scale.
  int16_t low = 0, high = 0;
  for (size_t at = 44; at + 1 < wav.size(); at += 2) {
    const auto sample = static_cast<int16_t>(Le(wav, at, 2));
    low = std::min(low, sample);
    high = std::max(high, sample);
  }
  EXPECT_NEAR(high, 8191, 2);
  EXPECT_NEAR(low, -8191, 2);
}

TEST(SampleShowTest, AFolderThatCannotBeWrittenIsReported) {
  SampleShowFiles files;
  std::string error;
  EXPECT_FALSE(WriteSampleShow(MakeSampleShow(), "/nonexistent-folder-for-firnadesk", files, error));
  EXPECT_NE(error.find("/nonexistent-folder-for-firnadesk/demo-show.txt"), std::string::npos) << error;
}

}  // namespace
}  // namespace fd::show
