// The player's journal on the virtual bench: each cue's event is written before its frame goes to
// the converter, and each stop says what stopped the show.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "journal/show_journal.h"
#include "player_bench.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

// The journal's lines as parsed back from its file.
std::vector<nlohmann::json> Events(const std::string& path) {
  std::vector<nlohmann::json> out;
  std::istringstream in(support::testing::ReadBytes(path));
  for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
  return out;
}

// Frames to the consoles of these tests (3 and 9): their fire commands.
size_t FireFrames(const std::vector<bus::Frame6>& sent) {
  size_t n = 0;
  for (const auto& f : sent) n += f[5] == 3 || f[5] == 9 ? 1 : 0;
  return n;
}

TEST(PlayerJournal, EveryCueIsWrittenBeforeItsFrameGoesOut) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.AddConsole(9, 0x165);
  b.Register({3, 9});
  b.Load({Channel(100, 3, 1), Channel(100, 3, 2), Channel(250, 9, 4), Channel(900, 3, 16)});
  // What had gone out when each line reached the kernel.
  std::vector<size_t> framesAtWrite;
  journal::JournalWriter::Seams seams = journal::JournalWriter::SystemCalls();
  auto write = seams.Write;
  seams.Write = [&](int fd, const void* data, size_t size) {
    framesAtWrite.push_back(FireFrames(b.sent));
    return write(fd, data, size);
  };
  journal::ShowJournal journal(seams);
  ASSERT_TRUE(journal.Open(b.logDir.Path(), 0, {}));
  b.player->Journal = &journal;
  b.sent.clear();  // the registration's exchanges
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(5000));
  journal.Close(b.player->Clock);

  const auto events = Events(journal.Path());
  ASSERT_EQ(events.size(), 11u);  // header, four cues each with its frame's moment, the stop, the closing event
  for (size_t k = 0; k < 4; ++k) {
    const auto& cue = events[1 + 2 * k];
    const auto& out = events[2 + 2 * k];
    EXPECT_EQ(cue["event"], "cue_sent");
    EXPECT_EQ(cue["planned_ms"], b.list.Cues()[k].TimeMs);
    EXPECT_GE(cue["show_ms"].get<int>(), b.list.Cues()[k].TimeMs);
    // The k cues before it had gone out, this one not yet; then it had.
    EXPECT_EQ(framesAtWrite[1 + 2 * k], k) << "cue " << k;
    EXPECT_EQ(out["event"], "cue_out");
    EXPECT_EQ(out["line"], cue["line"]);
    EXPECT_GE(out["sent_ms"].get<int>(), cue["show_ms"].get<int>());
    EXPECT_EQ(framesAtWrite[2 + 2 * k], k + 1) << "cue " << k;
  }
  EXPECT_EQ(events[3]["channel"], 2);
  EXPECT_EQ(events[5]["console"], 9);
  EXPECT_EQ(events[9]["source"], "end_of_scenario");
  EXPECT_EQ(events[10]["event"], "close");
  EXPECT_EQ(events[10]["cues_sent"], 4);
  EXPECT_EQ(FireFrames(b.sent), 4u);
}

struct StopCase {
  const char* name;
  void (*stop)(PlayerBench&);
  const char* source;
  friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerJournalStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(PlayerJournalStop, TheStopNamesItsSource) {
  const StopCase& c = GetParam();
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(100, 3, 1), Channel(5000, 3, 2)});
  journal::ShowJournal journal;
  ASSERT_TRUE(journal.Open(b.logDir.Path(), 0, {}));
  b.player->Journal = &journal;
  b.player->Start(0);
  b.platform.Advance(1000);
  ASSERT_TRUE(b.player->IsPlaying());
  c.stop(b);
  ASSERT_FALSE(b.player->IsPlaying());
  // A stop while stopped is no stop of the show.
  b.player->Stop(true);
  journal.Close(b.player->Clock);
  const auto events = Events(journal.Path());
  ASSERT_EQ(events.size(), 5u);  // header, the first cue and its frame's moment, the stop, the closing event
  EXPECT_EQ(events[3]["event"], "stop");
  EXPECT_EQ(events[3]["source"], c.source);
  EXPECT_EQ(events[4]["cues_sent"], 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PlayerJournalStop,
    ::testing::Values(StopCase{"operator", [](PlayerBench& b) { b.player->Stop(true); }, "operator"},
                      StopCase{"converter", [](PlayerBench& b) { b.player->ConnectionLost(); }, "converter"},
                      StopCase{"stop broadcast",
                               [](PlayerBench& b) {
                                 b.player->HandleBusMessage({0x90, 0x00, 0x08, 0x00, 0x00, 0x00});
                               },
                               "remote_control_or_program"}),
    [](const auto& info) { return std::string(info.param.name).substr(0, 4); });

}  // namespace
}  // namespace fd::show
