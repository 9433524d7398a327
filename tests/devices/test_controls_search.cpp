// The bus search: sweep order, registration and removal by probe, the peer protocol, and frames
// heard on the bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "bench_fixture.h"
#include "devices/common_control.h"
#include "support/version_text.h"

namespace fd::devices {
namespace {

using testing::BusBench;

// Records every sweep step.
struct Steps {
  std::vector<int> addresses;
  std::map<int, int> percent;
  void Attach(TControls& controls) {
    controls.OnSearchProgress = [this](int p, int address) {
      addresses.push_back(address);
      percent[address] = p;
    };
  }
  size_t Count() const { return addresses.size(); }
};

bool RunSteps(BusBench& bench, const Steps& steps, size_t count) {
  return bench.platform.AdvanceUntil([&] { return steps.Count() >= count; }, 3'600'000, 5);
}

// A peer number other than our own, from `from` on.
int OtherPeer(int from) {
  for (int n = from; n <= 255; ++n)
    if (n != bus::InstanceNumber()) return n;
  return -1;
}

TEST(Sweep, StartsAt240AndRunsThroughPeersThenConsoles) {
  BusBench bench;
  Steps steps;
  steps.Attach(*bench.controls);
  bench.port->ReplyTimeout = 70;
  bench.controls->SetSearchMode(smRegister | smSweep);
  EXPECT_TRUE(bench.controls->ScanTimer().Enabled());
  EXPECT_EQ(bench.controls->ScanTimer().Interval(), 70u);
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 3));
  std::vector<int> expected;
  for (int a = 240; a <= 255; ++a) expected.push_back(a);
  for (int a = 0; a <= 239; ++a) expected.push_back(a);
  for (int a = 240; a <= 242; ++a) expected.push_back(a);
  expected.resize(steps.Count(), -1);
  EXPECT_EQ(steps.addresses, expected);
  // Percent of the address over 255, rounded half away from zero.
  EXPECT_EQ(steps.percent[0], 0);
  EXPECT_EQ(steps.percent[1], 0);
  EXPECT_EQ(steps.percent[2], 1);
  EXPECT_EQ(steps.percent[127], 50);
  EXPECT_EQ(steps.percent[128], 50);
  EXPECT_EQ(steps.percent[254], 100);
  EXPECT_EQ(steps.percent[255], 100);
}

TEST(Sweep, EveryStartRestartsAt240AndStoppingKeepsEntries) {
  BusBench bench;
  bench.AddConsole(3, 0x151);
  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 16 + 5));  // through 255 and into the consoles
  ASSERT_NE(bench.controls->FindByID(3), nullptr);
  bench.controls->SetSearchMode(smNone);
  EXPECT_FALSE(bench.controls->ScanTimer().Enabled());
  const size_t before = steps.Count();
  bench.Advance(10'000);
  EXPECT_EQ(steps.Count(), before) << "no sweep while stopped";
  EXPECT_NE(bench.controls->FindByID(3), nullptr) << "entries survive a stopped search";

  bench.port->ReplyTimeout = 90;
  bench.controls->SetSearchMode(smRegister | smSweep);
  EXPECT_EQ(bench.controls->ScanTimer().Interval(), 90u);
  ASSERT_TRUE(RunSteps(bench, steps, before + 1));
  EXPECT_EQ(steps.addresses[before], 240);
}

TEST(Sweep, OnePassFindsEveryKindOfDevice) {
  BusBench bench;
  bench.AddRemote(0x0A3);
  bench.AddConsole(1, 0x147);
  bench.AddConsole(17, 0x268, 'Q', 4);
  bench.AddConsole(199, 0x168, 'P', 8);
  bench.AddRadio(240);
  bench.AddRadio(254);
  const int peer = OtherPeer(0x0A);
  bench.AddPeer(peer, 2, 0x0A);
  auto& stray = bench.AddScripted();
  stray.AddRule(sim::ScriptedDevice::Reply(0x80, 210, {0x7F, 0, '1', '0', '0', 210}));
  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  bench.controls->SetSearchMode(smNone);

  TControls& c = *bench.controls;
  c.SortByID();
  std::vector<std::pair<int, std::string>> found;
  for (int i = 0; i < c.Count(); ++i) found.emplace_back(c.Items(i)->ID, c.Items(i)->ClassName());
  const std::vector<std::pair<int, std::string>> expected = {
      {0, "TRemoteControl"}, {1, "TAutoControl"},   {17, "THVControl"},   {199, "TMotorControl"},
      {240, "TRadioModule"}, {254, "TRadioModule"}, {255, "TSoftControl"}};
  EXPECT_EQ(found, expected);
  EXPECT_EQ(c.FindByID(210), nullptr) << "200..239 never get an entry";
  int probes210 = 0;
  for (const auto& heard : stray.HeardFrames())
    if (heard.frame[0] == 0x80 && heard.frame[5] == 210) ++probes210;
  int other210 = 0;
  for (const auto& heard : stray.HeardFrames())
    if (heard.frame[0] != 0x80 && heard.frame[5] == 210) ++other210;
  EXPECT_EQ(probes210, 1);
  EXPECT_EQ(other210, 0) << "an answer at 210 is not followed up";
  ASSERT_NE(c.SoftByOrdinal(0), nullptr);
  EXPECT_EQ(c.SoftByOrdinal(0)->PeerNumber, peer);
  EXPECT_EQ(c.SoftByOrdinal(0)->Version, 2);
}

TEST(Sweep, EachProbeRefreshesARegisteredConsole) {
  BusBench bench;
  auto& device = bench.AddConsole(8, 0x151);
  std::vector<int> changes;
  bench.controls->OnChange = [&](int id) { changes.push_back(id); };
  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  auto* console = dynamic_cast<TCommonControl*>(bench.controls->FindByID(8));
  ASSERT_NE(console, nullptr);
  device.SetStatus(12.0, 19.5, 0);
  ASSERT_TRUE(RunSteps(bench, steps, 512));
  EXPECT_EQ(bench.controls->FindByID(8), console) << "the same entry, refreshed";
  EXPECT_DOUBLE_EQ(console->Voltage, 19.5);
  EXPECT_EQ(std::count(changes.begin(), changes.end(), 8), 2);
}

TEST(Sweep, AConsoleSwitchedOffIsRemovedAtItsNextProbe) {
  BusBench bench;
  auto& five = bench.AddConsole(5, 0x151);
  bench.AddConsole(6, 0x151);
  Steps steps;
  steps.Attach(*bench.controls);
  std::vector<std::pair<int, int>> changes;  // (id, address being probed)
  bench.controls->OnChange = [&](int id) { changes.emplace_back(id, bench.controls->ScanAddress()); };
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  ASSERT_NE(bench.controls->FindByID(5), nullptr);
  changes.clear();

  bench.PowerOff(five);
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 16 + 5));  // probes 0..4 of the second pass
  EXPECT_NE(bench.controls->FindByID(5), nullptr) << "still there before its probe";
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 16 + 6));  // probe of 5
  EXPECT_EQ(bench.controls->FindByID(5), nullptr);
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{5, 5}}));
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 16 + 7));
  EXPECT_NE(bench.controls->FindByID(6), nullptr);
}

TEST(Sweep, APeerAnswerHoldingTheVersionReplyCodeDoesNotRemoveTheRemoteControl) {
  BusBench bench;
  sim::RemoteConfig config;
  config.version = 0x0A3;
  config.lateUs = 8000;  // its answer follows the other program's, without overlapping it
  bench.segment.AddDevice(std::make_unique<sim::RemoteDevice>(config));
  TCommonDevice* remote = bench.controls->Register(0, 0);
  ASSERT_NE(remote, nullptr);
  ASSERT_STREQ(remote->ClassName(), "TRemoteControl");

  // Another program answers a peer sweep just as the remote control is probed. Its answer holds
  // 0x7F, the version reply code: as its number, or as the asker when that is our own number.
  const uint8_t number = bus::InstanceNumber() == 0x7F ? 0x33 : 0x7F;
  const bus::Frame6 peerAnswer{0x02, 2, 0x00, number, bus::InstanceNumber(), 0xFF};
  auto& other = bench.AddScripted();
  other.AddRule(sim::ScriptedDevice::Reply(0x80, 0, peerAnswer, 500));

  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 16 + 2));  // 240..255, then 0 and 1
  ASSERT_EQ(steps.addresses[16], 0);
  EXPECT_GE(other.HeardCount(0x80), 1) << "the probe of address 0 was answered by both";
  EXPECT_EQ(bench.controls->FindByID(0), remote) << "the same entry, still registered";
  // The other program's answer was not cut apart either: it registered as a peer.
  EXPECT_NE(bench.controls->FindSoft(number), nullptr);
}

TEST(Sweep, AConsoleSwitchedOffWithoutASearchStaysRegistered) {
  BusBench bench;
  auto& five = bench.AddConsole(5, 0x151);
  ASSERT_NE(bench.controls->Register(5, 0), nullptr);
  bench.PowerOff(five);
  bench.Advance(60'000);
  auto* console = dynamic_cast<TCommonControl*>(bench.controls->FindByID(5));
  ASSERT_NE(console, nullptr);
  console->Poll();
  EXPECT_EQ(console->LastResult, bus::kBusNoReply);
}

TEST(Peers, TwoProgramsAreTwoEntriesAtAddress255) {
  BusBench bench;
  const int one = OtherPeer(0x0A);
  const int two = OtherPeer(0x14);
  bench.AddPeer(one, 2, 0x0A);
  bench.AddPeer(two, 5, 0x14);
  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  TControls& c = *bench.controls;
  ASSERT_EQ(c.SoftCount(), 2);
  TSoftControl* first = c.SoftByOrdinal(0);
  TSoftControl* second = c.SoftByOrdinal(1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(c.SoftByOrdinal(2), nullptr);
  EXPECT_EQ(first->ID, 255);
  EXPECT_EQ(second->ID, 255);
  EXPECT_EQ((std::set<int>{first->PeerNumber, second->PeerNumber}), (std::set<int>{one, two}));
  EXPECT_EQ(c.FindSoft(one)->Version, 2);
  EXPECT_EQ(c.FindSoft(two)->Version, 5);
  // One peer sweep per pass, naming nobody in particular.
  ASSERT_EQ(bench.SentCount(0x01), 1 + 2) << "the sweep and one directed query per peer";
  const bus::Frame6 sweep{0x01, 0x00, 0x00, bus::InstanceNumber(), 0x00, 0xFF};
  EXPECT_NE(std::find(bench.sent.begin(), bench.sent.end(), sweep), bench.sent.end());
}

TEST(Peers, APeerThatStopsAnsweringLeavesQuietlyAtTheEndOfThePassItMissed) {
  BusBench bench;
  const int quietNumber = OtherPeer(0x14);
  bench.AddPeer(OtherPeer(0x0A), 2, 0x0A);
  auto& quiet = bench.AddPeer(quietNumber, 2, 0x14);
  Steps steps;
  steps.Attach(*bench.controls);
  std::vector<int> changes;
  bench.controls->OnChange = [&](int id) { changes.push_back(id); };
  bench.controls->SetSearchMode(smRegister | smSweep);
  // Steps 1..16 run 240..255: the peers answer the sweep sent at step 16.
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  ASSERT_EQ(bench.controls->SoftCount(), 2);

  bench.PowerOff(quiet);
  // Step 272 ends the pass in which it did answer: it stays, and gets the next sweep.
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 16));
  EXPECT_NE(bench.controls->FindSoft(quietNumber), nullptr);
  // Step 528 ends the pass it missed.
  ASSERT_TRUE(RunSteps(bench, steps, 512 + 15));
  ASSERT_NE(bench.controls->FindSoft(quietNumber), nullptr);
  changes.clear();
  // The step of the sweep ends with the answers heard and not yet handled: the other peer's
  // answer, handled after it, raises an event of its own.
  bool goneAtSweep = false;
  size_t changesAtSweep = 0;
  auto recordStep = bench.controls->OnSearchProgress;
  bench.controls->OnSearchProgress = [&](int percent, int address) {
    recordStep(percent, address);
    if (address != 255) return;
    goneAtSweep = bench.controls->FindSoft(quietNumber) == nullptr;
    changesAtSweep = changes.size();
  };
  ASSERT_TRUE(RunSteps(bench, steps, 512 + 16));
  EXPECT_TRUE(goneAtSweep);
  EXPECT_EQ(bench.controls->FindSoft(quietNumber), nullptr);
  EXPECT_EQ(changesAtSweep, 0u) << "a peer leaves without an event";
}

TEST(Peers, ANewSearchDropsKnownPeersAtItsFirstEndOfPass) {
  BusBench bench;
  const int aNumber = OtherPeer(0x0A);
  auto& a = bench.AddPeer(aNumber, 2, 0x0A);
  auto& b = bench.AddPeer(OtherPeer(0x14), 2, 0x14);
  Steps steps;
  steps.Attach(*bench.controls);
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(RunSteps(bench, steps, 256));
  bench.controls->SetSearchMode(smNone);
  ASSERT_EQ(bench.controls->SoftCount(), 2);
  TSoftControl* oldA = bench.controls->FindSoft(aNumber);

  bench.PowerOff(a);
  bench.PowerOff(b);
  bench.controls->SetSearchMode(smRegister | smSweep);
  EXPECT_TRUE(oldA->Stale);
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 16));
  EXPECT_EQ(bench.controls->SoftCount(), 0);

  // Answering again brings a peer back as a new entry.
  bench.PowerOn(a);
  ASSERT_TRUE(RunSteps(bench, steps, 256 + 256 + 16 + 20));
  EXPECT_EQ(bench.controls->SoftCount(), 1);
  EXPECT_NE(bench.controls->FindSoft(aNumber), nullptr);
}

uint8_t OtherInstance() { return static_cast<uint8_t>(bus::InstanceNumber() % 255 + 1); }

TEST(HeardFrames, IdentificationAnswersRegisterOnlyConsolesAndOnlyDuringASearch) {
  BusBench bench;
  bench.AddConsole(12, 0x151);
  TControls& c = *bench.controls;
  c.HandleFrame({0x70, 'O', 'k', 0, 16, 12}, 0);
  EXPECT_EQ(c.Count(), 0) << "ignored while not registering";

  c.SetSearchMode(smRegister);
  for (int address : {0, 200, 220, 239, 240, 254})
    c.HandleFrame({0x70, 'O', 'k', 0, 16, static_cast<uint8_t>(address)}, 0);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_TRUE(bench.sent.empty()) << "nothing was asked of those addresses";

  c.HandleFrame({0x70, 'O', 'k', 0, 16, 12}, 0);
  ASSERT_NE(c.FindByID(12), nullptr);
  EXPECT_EQ(c.FindByID(12)->Converter, 0);
}

TEST(HeardFrames, PeerQueriesAreAnsweredForUsOrForEverybody) {
  BusBench bench;
  TControls& c = *bench.controls;
  const uint8_t asker = 0x33;
  c.HandleFrame({0x01, 0, 0, asker, OtherInstance(), 0xFF}, 0);
  EXPECT_TRUE(bench.sent.empty()) << "a query for another program is not ours";

  for (uint8_t target : {uint8_t{0}, bus::InstanceNumber()}) {
    bench.sent.clear();
    const uint64_t start = bench.Now();
    c.HandleFrame({0x01, 0, 0, asker, target, 0xFF}, 0);
    // The pause runs on a timer, never in the frame's handler (a show may be firing).
    EXPECT_TRUE(bench.sent.empty());
    EXPECT_EQ(bench.Now(), start);
    bench.platform.AdvanceUntil([&] { return !bench.sent.empty(); }, 400);
    ASSERT_EQ(bench.sent.size(), 1u);
    const bus::Frame6 answer{
        0x02, static_cast<uint8_t>(support::ProgramMajorVersion()), 0x00, bus::InstanceNumber(), asker, 0xFF};
    EXPECT_EQ(bench.sent[0], answer);
    // The random pause is 0..149 ms; sending takes a few more.
    EXPECT_LE(bench.Now() - start, 149u + 60u);
  }
  // Answered whether or not a search runs, and no entry is made for the asker.
  EXPECT_EQ(c.Count(), 0);
}

TEST(HeardFrames, PeerAnswersRegisterOnlyDuringASearch) {
  BusBench bench;
  bench.AddPeer(0x44, 3);
  TControls& c = *bench.controls;
  const bus::Frame6 answer{0x02, 3, 0, 0x44, bus::InstanceNumber(), 0xFF};
  c.HandleFrame(answer, 0);
  EXPECT_EQ(c.SoftCount(), 0);
  c.SetSearchMode(smRegister);
  c.HandleFrame(answer, 0);
  ASSERT_EQ(c.SoftCount(), 1);
  EXPECT_EQ(c.FindSoft(0x44)->Version, 3);
}

TEST(HeardFrames, OtherTrafficIsIgnored) {
  BusBench bench;
  TControls& c = *bench.controls;
  c.SetSearchMode(smRegister);
  const bus::Frame6 frames[] = {{0x90, 0, 10, 0x80, 0, 0},   {0x03, 0, 0, 0x12, 0, 0xFF}, {0x10, 0, 1, 0x12, 0, 0xFF},
                                {0x7F, 0, '1', '5', '1', 5}, {0x01, 0, 0, 0x12, 0, 0xFE}, {0x02, 2, 0, 0x12, 0, 0xFE}};
  for (const auto& f : frames) c.HandleFrame(f, 0);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_TRUE(bench.sent.empty());
}

TEST(SweepReentrancy, AHandlerCannotStartANestedStepAndARestartFromAHandlerBeginsAt240) {
  BusBench bench;
  bench.AddConsole(9, 0x151);
  Steps steps;
  steps.Attach(*bench.controls);
  int addressBefore = -1;
  int addressAfter = -1;
  bool restarted = false;
  bench.controls->OnChange = [&](int id) {
    if (id != 9 || restarted) return;
    addressBefore = bench.controls->ScanAddress();
    bench.controls->ScanTick();  // as if pending events let the timer in
    addressAfter = bench.controls->ScanAddress();
    restarted = true;
    bench.controls->SetSearchMode(smRegister | smSweep);
  };
  bench.controls->SetSearchMode(smRegister | smSweep);
  ASSERT_TRUE(bench.platform.AdvanceUntil([&] { return restarted; }, 600'000, 5));
  EXPECT_EQ(addressBefore, 9);
  EXPECT_EQ(addressAfter, 9);
  EXPECT_EQ(bench.controls->ScanAddress(), 240);
  const size_t done = steps.Count();
  ASSERT_TRUE(RunSteps(bench, steps, done + 1));
  EXPECT_EQ(steps.addresses[done], 240);
  EXPECT_EQ(steps.addresses[done - 1], 8) << "the interrupted step reported nothing";
}

}  // namespace
}  // namespace fd::devices

namespace fd::devices {
namespace {

// A scenario command registers only what the scenario names: the listed consoles that answer,
// every radio module and the remote control, one probe each, and nothing it did not ask for.
TEST(ListedSearch, RegistersTheNamedConsolesRadiosAndRemoteOnly) {
  testing::BusBench bench;
  auto& console3 = bench.AddConsole(3, 0x151);
  bench.AddConsole(7, 0x165);
  bench.AddConsole(9, 0x268);
  bench.AddRadio(244);
  bench.AddRemote();
  const uint64_t start = bench.Now();

  EXPECT_EQ(bench.controls->SearchListed({9, 3, 3, 5, 0, 200, -1}), 4) << "3, 9, radio 244, remote";
  std::vector<int> ids;
  for (int i = 0; i < bench.controls->Count(); ++i) ids.push_back(bench.controls->Items(i)->ID);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int>{0, 3, 9, 244}));
  // Asked: the 15 radio addresses, the remote and consoles 3, 5 and 9; never console 7.
  std::set<int> asked;
  for (const auto& f : bench.sent)
    if (f[0] == 0x80) asked.insert(f[5]);
  std::set<int> expected{0, 3, 5, 9};
  for (int a = 240; a <= 254; ++a) expected.insert(a);
  EXPECT_EQ(asked, expected);
  // Far below a 256-address sweep (about 18 s at 70 ms a probe).
  EXPECT_LT(bench.Now() - start, 5'000u);

  // A listed console that falls silent leaves the registry on the next listed search.
  bench.PowerOff(console3);
  EXPECT_EQ(bench.controls->SearchListed({3, 9}), 3);
  EXPECT_EQ(bench.controls->FindByID(3), nullptr);
  EXPECT_NE(bench.controls->FindByID(9), nullptr);
}

}  // namespace
}  // namespace fd::devices
