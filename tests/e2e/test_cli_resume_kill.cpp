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
#include <fstream>
#include <map>
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

using fd::testing::ToolProcess;
using Target = std::pair<int, int>;  // console, channel

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "firnadesk-resume-" + std::to_string(::getpid()) + "-" + name;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Fifteen cues on three consoles over 2.3 s, each firing its own channel: bursts of six at 1.0 s
// and of three at 2.0 s, so that a kill can cut a burst in two.
const std::string kShow =
    "0.2 1 1\n0.5 2 1\n0.8 6 1\n"
    "1.0 1 2\n1.0 2 2\n1.0 6 2\n1.0 1 4\n1.0 2 4\n1.0 6 4\n"
    "1.4 1 5\n1.7 2 5\n"
    "2.0 6 5\n2.0 1 6\n2.0 2 6\n"
    "2.3 6 6\n";
constexpr int kShowCues = 15;
constexpr int kShowEndMs = 2300;

std::multiset<Target> ShowTargets() {
  std::multiset<Target> targets;
  std::istringstream lines(kShow);
  for (std::string line; std::getline(lines, line);) {
    double time = 0;
    int console = 0, channel = 0;
    if (std::sscanf(line.c_str(), "%lf %d %d", &time, &console, &channel) == 3) targets.insert({console, channel});
  }
  return targets;
}

// The default bench on a pseudo-terminal; its fire log as the bench tool's "log" prints it.
class ServedBench {
 public:
  ServedBench()
      : benchFile_(WriteFile("default.bench", sim::kDefaultBenchText)),
        link_(TempPath("link")),
        tool_({FIRNADESK_BENCH_TOOL, benchFile_, "--link", link_}) {
    slave_ = tool_.FirstLine();
  }
  ~ServedBench() {
    tool_.Send("quit");
    tool_.Wait(5000);
  }
  bool Ready() const { return slave_.rfind("/dev/pts/", 0) == 0; }
  const std::string& Link() const { return link_; }
  // Every firing so far, as (console, channel): the mark that follows the log says it is whole.
  std::multiset<Target> Fired() {
    const size_t from = tool_.OutputMark();
    tool_.Send("log");
    tool_.Send("mark");
    tool_.WaitForOutput("mark at", from, 5000);
    std::multiset<Target> fired;
    std::istringstream lines(tool_.Output().substr(from));
    for (std::string line; std::getline(lines, line);) {
      double ms = 0;
      int console = 0, channel = 0;
      if (std::sscanf(line.c_str(), "%lf ms  console %d  channel %d", &ms, &console, &channel) == 3)
        fired.insert({console, channel});
    }
    return fired;
  }

 private:
  std::string benchFile_;
  std::string link_;
  ToolProcess tool_;
  std::string slave_;
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
  // Two moments anywhere in the show, one inside the burst at 1.0 s (six frames take about 40 ms).
  const std::vector<int> killAtMs = {std::uniform_int_distribution<int>(0, kShowEndMs)(random),
                                     std::uniform_int_distribution<int>(0, kShowEndMs)(random),
                                     std::uniform_int_distribution<int>(1000, 1040)(random)};
  const std::string show = WriteFile("show.txt", kShow);
  const std::multiset<Target> everything = ShowTargets();
  ASSERT_EQ(everything.size(), static_cast<size_t>(kShowCues));

  for (size_t round = 0; round < killAtMs.size(); ++round) {
    const int killAt = killAtMs[round];
    SCOPED_TRACE("kill " + std::to_string(killAt) + " ms into the show (seed " + std::to_string(seed) + ")");
    ServedBench bench;
    ASSERT_TRUE(bench.Ready());
    const std::string journals = TempPath("journal-" + std::to_string(round) + "/");

    ToolProcess killed({FIRNADESK_CLI, "rehearse", show, "--port", bench.Link(), "--journal-dir", journals});
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
    // A frame the kill stopped between its journal line and the wire: the resume never sends it.
    const size_t silent = journaled.size() - firedBefore.size();
    std::printf("kill at %d ms: %zu cue(s) fired, %zu in the journal\n", killAt, firedBefore.size(), journaled.size());

    ToolProcess resumed(
        {FIRNADESK_CLI, "rehearse", show, "--port", bench.Link(), "--journal-dir", journals, "--resume", journalPath});
    const int status = resumed.Wait(30'000);
    const std::multiset<Target> firedAfter = bench.Fired();
    if (journaled.empty()) {
      EXPECT_EQ(status, 2) << resumed.Error();
      EXPECT_TRUE(Has(resumed.Error(), "the show was cut short before its first cue: start it from its beginning"))
          << resumed.Error();
      EXPECT_TRUE(firedAfter.empty());
      continue;
    }
    if (journaled.size() == everything.size()) {
      EXPECT_EQ(status, 2) << resumed.Error();
      EXPECT_TRUE(Has(resumed.Error(), "every cue was sent: nothing to resume")) << resumed.Error();
      EXPECT_EQ(firedAfter, firedBefore);
      continue;
    }
    const size_t left = everything.size() - journaled.size();
    ASSERT_EQ(status, 0) << resumed.Output() << resumed.Error();
    EXPECT_TRUE(Has(resumed.Output(), "Cues fired: " + std::to_string(left) + " of " + std::to_string(left) + "\n"))
        << resumed.Output();
    // Every target of the show fired once in all, but for the frames the kill held back.
    std::multiset<Target> expected = everything;
    for (const Target& target : journaled)
      if (firedBefore.count(target) == 0) expected.erase(expected.find(target));
    EXPECT_EQ(firedAfter, expected) << silent << " cue(s) in the journal never reached the wire";
    for (const Target& target : firedAfter) EXPECT_EQ(firedAfter.count(target), 1u) << "fired twice";
  }
}

TEST(CliResumeRefusals, AnotherScenarioAClosedShowAndBadUsageFireNothing) {
  // A journal is judged before the bus is opened: no bench is needed to refuse one.
  const std::string show = WriteFile("refused.txt", "0.2 1 1\n0.4 2 1\n");
  const std::string other = WriteFile("other.txt", "0.2 1 1\n0.5 2 1\n");
  const std::string journals = TempPath("refusals/");
  ToolProcess played({FIRNADESK_CLI, "rehearse", other, "--simulate", "--journal-dir", journals});
  ASSERT_EQ(played.Wait(30'000), 0) << played.Output() << played.Error();
  const std::string closed = JournalNamed(played.Error());

  struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const std::vector<Refusal> cases = {
      {{show, "--resume", closed}, 2, closed + " is the journal of another scenario (" + other + ", SHA-256 "},
      {{other, "--resume", closed}, 2, closed + ": the show ended in order: nothing to resume\n"},
      {{other, "--resume", TempPath("none.jsonl")}, 2, TempPath("none.jsonl") + ": File not found\n"},
      {{other, "--resume", closed, "--from", "1"}, 2, "--resume carries on where the journal says: no --from\n"},
      {{other, "--resume", closed, "--autonomous"}, 2, "--resume carries on in direct launch"},
  };
  for (const Refusal& c : cases) {
    std::vector<std::string> argv{FIRNADESK_CLI, "rehearse", "--simulate"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ToolProcess cli(argv);
    EXPECT_EQ(cli.Wait(10'000), c.status) << cli.Error();
    EXPECT_TRUE(Has(cli.Error(), "firnadesk-cli rehearse: " + c.said)) << cli.Error();
    EXPECT_EQ(cli.Output(), "");
    EXPECT_FALSE(Has(cli.Error(), "Запуск")) << "nothing fired";
  }
}

}  // namespace
}  // namespace fd
