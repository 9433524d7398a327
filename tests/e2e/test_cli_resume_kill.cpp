// A show killed outright: firnadesk-cli rehearse over a pseudo-terminal served by firnadesk-bench,
// SIGKILL at random moments of the show (the seed is printed; FIRNADESK_KILL_SEED repeats a run).
// Whatever the moment, every firing the bench saw is in the journal, and rehearse --resume then
// fires exactly the cues the journal does not hold as sent, none of them twice.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "journal/journal_reader.h"
#include "sim/default_bench.h"
#include "tool_process.h"

namespace fd {
namespace {

using namespace fd::testing;
using Target = std::pair<int, int>;  // console, channel

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

// Consoles 1, 2 and 6 each fire channels 1, 2, 4, 5 and 6 once over 2.3 s, with bursts of six at
// 1.0 s and of three at 2.0 s, so that a kill can cut a burst in two.
const std::string kShow =
    "0.2 1 1\n0.5 2 1\n0.8 6 1\n"
    "1.0 1 2\n1.0 2 2\n1.0 6 2\n1.0 1 4\n1.0 2 4\n1.0 6 4\n"
    "1.4 1 5\n1.7 2 5\n"
    "2.0 6 5\n2.0 1 6\n2.0 2 6\n"
    "2.3 6 6\n";
constexpr int kShowEndMs = 2300;

// The (console, channel) of each line that `format` reads as a time, a console and a channel.
std::multiset<Target> Targets(const std::string& text, const char* format) {
  std::multiset<Target> targets;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    double at = 0;
    int console = 0, channel = 0;
    if (std::sscanf(line.c_str(), format, &at, &console, &channel) == 3) targets.insert({console, channel});
  }
  return targets;
}

// The default bench on a pseudo-terminal behind `link`.
struct ServedBench {
  ~ServedBench() {
    tool.Send("quit");
    tool.Wait(5000);
  }
  std::multiset<Target> Fired() { return Targets(BenchFireLog(tool), "%lf ms  console %d  channel %d"); }
  const std::string link = TempPath("link");
  ToolProcess tool{{FIRNADESK_BENCH_TOOL, WriteFile("default.bench", sim::kDefaultBenchText), "--link", link}};
};

// The path the tool named on its "journal: PATH" line.
std::string JournalNamed(const std::string& error) {
  const size_t at = error.find("journal: ");
  if (at == std::string::npos) return {};
  const size_t end = error.find('\n', at);
  return error.substr(at + 9, end - at - 9);
}

uint32_t Seed() {
  if (const char* given = std::getenv("FIRNADESK_KILL_SEED"); given != nullptr && *given != '\0')
    return static_cast<uint32_t>(std::strtoul(given, nullptr, 10));
  return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

TEST(CliResumeAfterKill, EveryFiringIsInTheJournalAndTheResumeFiresExactlyTheRest) {
  const uint32_t seed = Seed();
  std::printf("kill moments seeded with %u (FIRNADESK_KILL_SEED=%u repeats them)\n", seed, seed);
  ::testing::Test::RecordProperty("kill_seed", std::to_string(seed));
  std::mt19937 random(seed);
  auto between = [&random](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  // Two moments anywhere in the show, one inside the burst at 1.0 s (six frames take about 40 ms).
  const int killAtMs[] = {between(0, kShowEndMs), between(0, kShowEndMs), between(1000, 1040)};
  const std::string show = WriteFile("show.txt", kShow);
  const std::multiset<Target> everything = Targets(kShow, "%lf %d %d");

  for (int round = 0; round < 3; ++round) {
    const int killAt = killAtMs[round];
    SCOPED_TRACE("kill " + std::to_string(killAt) + " ms into the show (seed " + std::to_string(seed) + ")");
    ServedBench bench;
    ASSERT_EQ(bench.tool.FirstLine().rfind("/dev/pts/", 0), 0u) << bench.tool.Error();
    const std::vector<std::string> rehearse{FIRNADESK_CLI,
                                            "rehearse",
                                            show,
                                            "--port",
                                            bench.link,
                                            "--journal-dir",
                                            TempPath("journal-" + std::to_string(round) + "/")};

    ToolProcess killed(rehearse);
    // Said just before the show starts: the search is over.
    ASSERT_TRUE(killed.WaitForError("cue(s) from 0:00:00.000", 20'000)) << killed.Error();
    ::usleep(static_cast<useconds_t>(killAt) * 1000);
    ::kill(killed.Pid(), SIGKILL);
    EXPECT_EQ(killed.Wait(5000), -1) << "killed by the signal";

    const std::string journalPath = JournalNamed(killed.Error());
    std::string error;
    const auto journal = journal::ReadJournalFile(journalPath, error);
    ASSERT_TRUE(journal) << error;
    EXPECT_FALSE(journal->closed);
    std::multiset<Target> journaled;
    for (const journal::CueEvent& cue : journal->cues) journaled.insert({cue.console, cue.channel});
    const std::multiset<Target> firedBefore = bench.Fired();
    for (const Target& fired : firedBefore)
      EXPECT_EQ(journaled.count(fired), 1u)
          << "console " << fired.first << " channel " << fired.second << " fired without its journal line";
    std::printf("kill at %d ms: %zu cue(s) fired, %zu in the journal\n", killAt, firedBefore.size(), journaled.size());

    std::vector<std::string> resume = rehearse;
    resume.insert(resume.end(), {"--resume", journalPath});
    ToolProcess resumed(resume);
    const int status = resumed.Wait(30'000);
    const std::multiset<Target> firedAfter = bench.Fired();
    // Killed before the first cue or after the last: refused, nothing fired.
    if (journaled.empty() || journaled.size() == everything.size()) {
      EXPECT_EQ(status, 2) << resumed.Error();
      EXPECT_TRUE(Has(resumed.Error(), journaled.empty() ? "the show was cut short before its first cue: start it "
                                                           "from its beginning"
                                                         : "every cue was sent: nothing to resume"))
          << resumed.Error();
      EXPECT_EQ(firedAfter, firedBefore);
      continue;
    }
    const std::string left = std::to_string(everything.size() - journaled.size());
    ASSERT_EQ(status, 0) << resumed.Output() << resumed.Error();
    EXPECT_TRUE(Has(resumed.Output(), "Cues fired: " + left + " of " + left + "\n")) << resumed.Output();
    // Every target fired once in all, but for a frame the kill stopped between its journal line and
    // the wire: the resume never sends it.
    std::multiset<Target> expected = everything;
    for (const Target& target : journaled)
      if (firedBefore.count(target) == 0) expected.erase(expected.find(target));
    EXPECT_EQ(firedAfter, expected) << journaled.size() - firedBefore.size()
                                    << " cue(s) in the journal never reached the wire";
    for (const Target& target : firedAfter) EXPECT_EQ(firedAfter.count(target), 1u) << "fired twice";
  }
}

TEST(CliResumeRefusals, AnotherScenarioAClosedShowAndBadUsageFireNothing) {
  // A journal is judged before the bus is opened: no bench is needed to refuse one.
  const std::string show = WriteFile("refused.txt", "0.2 1 1\n0.4 2 1\n");
  const std::string other = WriteFile("other.txt", "0.2 1 1\n0.5 2 1\n");
  ToolProcess played({FIRNADESK_CLI, "rehearse", other, "--simulate", "--journal-dir", TempPath("refusals/")});
  ASSERT_EQ(played.Wait(30'000), 0) << played.Output() << played.Error();
  const std::string closed = JournalNamed(played.Error());
  const std::string none = TempPath("none.jsonl");

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{show, "--resume", closed}, closed + " is the journal of another scenario (" + other + ", SHA-256 "},
      {{other, "--resume", closed}, closed + ": the show ended in order: nothing to resume\n"},
      {{other, "--resume", none}, none + ": File not found\n"},
      {{other, "--resume", closed, "--from", "1"}, "--resume carries on where the journal says: no --from\n"},
      {{other, "--resume", closed, "--autonomous"}, "--resume carries on in direct launch"},
  };
  for (const auto& [args, said] : cases) {
    std::vector<std::string> argv{FIRNADESK_CLI, "rehearse", "--simulate"};
    argv.insert(argv.end(), args.begin(), args.end());
    ToolProcess cli(argv);
    EXPECT_EQ(cli.Wait(10'000), 2) << cli.Error();
    EXPECT_TRUE(Has(cli.Error(), "firnadesk-cli rehearse: " + said)) << cli.Error();
    EXPECT_EQ(cli.Output(), "");
    EXPECT_FALSE(Has(cli.Error(), "Запуск")) << "nothing fired";
  }
}

}  // namespace
}  // namespace fd
