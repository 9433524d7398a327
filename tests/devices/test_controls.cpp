// The registry's list: registration, lookups, order, and devices leaving while someone holds them.
#include <gtest/gtest.h>

#include <set>

#include "bench_fixture.h"
#include "devices/common_control.h"
#include "devices/device_factory.h"

namespace fd::devices {
namespace {

using testing::BusBench;

TEST(Registry, EmptyRegistryAnswersNone) {
  BusBench bench;
  TControls& c = *bench.controls;
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.FirstConsole(), -1);
  EXPECT_EQ(c.LastConsole(), -1);
  EXPECT_EQ(c.ConsoleCount(), 0);
  EXPECT_EQ(c.SoftCount(), 0);
  EXPECT_EQ(c.Items(0), nullptr);
  EXPECT_EQ(c.Items(-1), nullptr);
  EXPECT_EQ(c.FindByID(5), nullptr);
  EXPECT_EQ(c.FindSoft(1), nullptr);
  EXPECT_EQ(c.SoftByOrdinal(0), nullptr);
  EXPECT_EQ(c.SearchMode(), smNone);
  EXPECT_FALSE(c.ScanTimer().Enabled());
}

TEST(Registry, RegistrationRefreshesTheSameEntryEveryTime) {
  BusBench bench;
  auto& device = bench.AddConsole(8, 0x151, 'S', 16);
  std::vector<int> changes;
  bench.controls->OnChange = [&](int id) { changes.push_back(id); };

  const uint64_t start = bench.Now();
  auto* first = dynamic_cast<TCommonControl*>(bench.controls->Register(8, 0));
  ASSERT_NE(first, nullptr);
  // 100 ms after creation, then 100 ms before UpdateInfo, before Poll and before the event.
  EXPECT_GE(bench.Now() - start, 400u);
  EXPECT_EQ(first->Version, 0x151);
  EXPECT_EQ(first->ChannelCount, 16);
  EXPECT_DOUBLE_EQ(first->Voltage, 24.0);

  device.SetStatus(11.0, 22.5, 1);
  auto* again = bench.controls->Register(8, 0);
  EXPECT_EQ(again, first);
  EXPECT_EQ(bench.controls->Count(), 1);
  EXPECT_DOUBLE_EQ(first->Voltage, 22.5);
  EXPECT_EQ(first->StatusBit, 1);
  EXPECT_EQ(changes, (std::vector<int>{8, 8}));
}

TEST(Registry, ListQueriesFollowInsertionOrderUntilSorted) {
  BusBench bench;
  for (int id : {5, 2, 9}) bench.AddConsole(id, 0x151);
  bench.AddRemote();
  bench.AddRadio(240);
  bench.AddPeer(0x14);
  bench.AddPeer(0x0A);
  TControls& c = *bench.controls;
  c.Register(240, 0);
  for (int id : {5, 2, 9}) c.Register(id, 0);
  c.RegisterSoft(0x14, 0);
  c.Register(0, 0);
  c.RegisterSoft(0x0A, 0);

  ASSERT_EQ(c.Count(), 7);
  EXPECT_EQ(c.ConsoleCount(), 3);
  EXPECT_EQ(c.FirstConsole(), 1);
  EXPECT_EQ(c.LastConsole(), 3);
  EXPECT_EQ(c.Items(1)->ID, 5);
  EXPECT_EQ(c.SoftCount(), 2);

  c.SortByID();
  std::vector<int> ids;
  for (int i = 0; i < c.Count(); ++i) ids.push_back(c.Items(i)->ID);
  EXPECT_EQ(ids, (std::vector<int>{0, 2, 5, 9, 240, 255, 255}));
  EXPECT_EQ(c.FirstConsole(), 1);
  EXPECT_EQ(c.LastConsole(), 3);
  // Equal IDs keep their order: the peer registered first stays first.
  ASSERT_NE(c.SoftByOrdinal(0), nullptr);
  EXPECT_EQ(c.SoftByOrdinal(0)->PeerNumber, 0x14);
  EXPECT_EQ(c.SoftByOrdinal(1)->PeerNumber, 0x0A);
  EXPECT_EQ(c.SoftByOrdinal(2), nullptr);
  EXPECT_EQ(c.SoftByOrdinal(-1), nullptr);
  EXPECT_EQ(c.FindSoft(0x0A), c.SoftByOrdinal(1));
  EXPECT_EQ(c.FindByID(9), c.Items(3));
}

TEST(Registry, PeersAreFoundOrCreatedByNumberAndRefreshed) {
  BusBench bench;
  bench.AddPeer(0x30, 4);
  std::vector<int> changes;
  bench.controls->OnChange = [&](int id) { changes.push_back(id); };
  TSoftControl* soft = bench.controls->RegisterSoft(0x30, 0);
  ASSERT_NE(soft, nullptr);
  EXPECT_EQ(soft->ID, 255);
  EXPECT_EQ(soft->Version, 4);
  EXPECT_FALSE(soft->Stale);
  EXPECT_EQ(soft->Converter, 0);
  soft->Stale = true;
  EXPECT_EQ(bench.controls->RegisterSoft(0x30, 0), soft);
  EXPECT_FALSE(soft->Stale);
  EXPECT_EQ(bench.controls->SoftCount(), 1);
  EXPECT_EQ(changes, (std::vector<int>{255, 255}));
}

// Moves the sweep so that `address` is the next one probed, then stops the search.
void SweepTo(BusBench& bench, int address) {
  bench.controls->SetSearchMode(smSweep);
  ASSERT_TRUE(bench.platform.AdvanceUntil([&] { return bench.controls->ScanAddress() == address; }, 120'000, 5));
  bench.controls->SetSearchMode(smNone);
}

TEST(RegistryLifetime, ADeviceRemovedInsideOnChangeIsNotReturnedAndStaysReadable) {
  BusBench bench;
  auto& device = bench.AddConsole(7, 0x151);
  SweepTo(bench, 7);
  TCommonDevice* held = bench.controls->Register(7, 0);
  ASSERT_NE(held, nullptr);

  bool inside = false;
  int idSeenAfterRemoval = -1;
  bench.controls->OnChange = [&](int id) {
    if (inside || id != 7) return;
    inside = true;
    // The probe of address 7 finds the console gone and removes it while Register holds it.
    bench.PowerOff(device);
    bench.controls->ScanTick();
    EXPECT_EQ(bench.controls->FindByID(7), nullptr);
    idSeenAfterRemoval = held->ID;
  };
  EXPECT_EQ(bench.controls->Register(7, 0), nullptr);
  EXPECT_EQ(idSeenAfterRemoval, 7);
  EXPECT_EQ(bench.controls->Count(), 0);
}

TEST(RegistryLifetime, AHoldKeepsRemovedDevicesAllocated) {
  BusBench bench;
  auto& device = bench.AddConsole(7, 0x151);
  SweepTo(bench, 7);
  TCommonDevice* held = bench.controls->Register(7, 0);
  ASSERT_NE(held, nullptr);
  {
    TControls::Hold hold(*bench.controls);
    bench.PowerOff(device);
    bench.controls->ScanTick();
    EXPECT_EQ(bench.controls->FindByID(7), nullptr);
    EXPECT_EQ(held->ID, 7);
    EXPECT_EQ(held->Version, 0x151);
  }
  EXPECT_EQ(bench.controls->Count(), 0);
}

}  // namespace
}  // namespace fd::devices
