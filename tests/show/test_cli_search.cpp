// The search a scenario command makes before it writes, verifies or plays: only the scenario's
// consoles, the radio modules and the remote control are asked, unless the full sweep is wanted.
#include <gtest/gtest.h>

#include <set>

#include "cli_bus.h"
#include "cli_search.h"
#include "cue_builders.h"
#include "sim/bench.h"

namespace fd::cli {
namespace {

// Every address the program's converter put a frame to, from the bench's wire log.
std::set<int> AddressesAsked(sim::Bench& bench) {
  std::set<int> asked;
  for (const sim::WireRecord& r : bench.Segment().WireLog()) {
    if (r.source != sim::WireRecord::Source::kConverter) continue;
    for (size_t at = 0; at + 7 <= r.bytes.size(); at += 7) asked.insert(r.bytes[at + 5]);
  }
  return asked;
}

TEST(ScenarioSearch, AsksOnlyTheListedConsolesRadiosAndRemoteUnlessTheFullSweepIsWanted) {
  std::set<int> radiosAndRemote{0};
  for (int a = 240; a <= 254; ++a) radiosAndRemote.insert(a);
  struct Case {
    const char* name;
    bool full;
    std::vector<int> consoles;
    std::set<int> found;  // console IDs registered afterwards
  } cases[] = {
      {"two consoles", false, {3, 1}, {1, 3}},
      {"a console that is not there", false, {9}, {}},
      {"full sweep", true, {3, 1}, {1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BusOptions options;
    options.source = BusOptions::Source::Simulate;
    std::string error;
    std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
    ASSERT_TRUE(bus) << error;
    const uint32_t start = bus->Host().GetClock().TickCount();
    ASSERT_EQ(SearchBus(*bus, "write", c.full ? nullptr : &c.consoles), SearchOutcome::Done);
    const uint32_t tookMs = bus->Host().GetClock().TickCount() - start;

    std::set<int> found;
    for (int i = 0; i < bus->Controls().Count(); ++i) {
      const int id = bus->Controls().Items(i)->ID;
      if (id >= 1 && id <= 199) found.insert(id);
    }
    EXPECT_EQ(found, c.found);
    EXPECT_NE(bus->Controls().FindByID(240), nullptr) << "the default bench's radio module";

    const std::set<int> asked = AddressesAsked(*bus->SimulatedBench());
    if (c.full) {
      EXPECT_TRUE(asked.count(200) && asked.count(100)) << "the sweep asks every address";
      EXPECT_GT(tookMs, 15'000u);
    } else {
      std::set<int> allowed = radiosAndRemote;
      allowed.insert(c.consoles.begin(), c.consoles.end());
      for (int a : asked) EXPECT_TRUE(allowed.count(a)) << "asked address " << a;
      for (int a : radiosAndRemote) EXPECT_TRUE(asked.count(a)) << "never asked address " << a;
      // A sweep waits for an answer at each of 256 addresses (over 15 s); the listed search only
      // at the seventeen or so it names.
      EXPECT_LT(tookMs, 5'000u);
    }
  }
}

TEST(ScenarioSearch, ConsolesOfAScenarioAreItsDistinctConsoleNumbers) {
  show::TProjectList list;
  using namespace testing_cues;
  list.Cues() = {Channel(1000, 4, 1), Channel(2000, 1, 3), Channel(3000, 4, 2), Motion(4000, 7, devices::MotionC)};
  EXPECT_EQ(ScenarioConsoles(list), (std::vector<int>{1, 4, 7}));
}

}  // namespace
}  // namespace fd::cli
