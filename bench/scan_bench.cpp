// One full pass of the registry's address sweep (256 addresses from 240 on) in real time: the
// loop platform, the engine with its thread, the bench served in this process on the real clock.
// Each address costs the probe's transmission and its reply window (70 ms), so an empty bus takes
// about 256 x 76 ms; every device found adds its registration (three 100 ms waits and its
// exchanges). The same pass on the virtual clock is reported beside it as bus time.
#include <benchmark/benchmark.h>

#include <memory>

#include "bus/tport.h"
#include "bus/usb_port.h"
#include "devices/controls.h"
#include "devices/threadless_engine.h"
#include "platform/loop_platform.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"

namespace {

using namespace fd;

constexpr int kAddresses = 256;

std::unique_ptr<sim::Bench> MakeBench(bool empty, platform::Clock& clock) {
  if (empty) return std::make_unique<sim::Bench>(sim::BenchConfig{}, clock);
  return sim::Bench::LoadDefault(clock);
}

// One pass in real time; returns the milliseconds it took and the devices found.
double RealPass(bool empty, int& found) {
  platform::LoopPlatform host;
  auto bench = MakeBench(empty, host.GetClock());
  auto usb = std::make_unique<bus::TUSBPort>(bench->Driver(), host.GetClock(), 1);
  bus::TPort port(host, std::move(usb));
  devices::TControls controls(port, host);
  port.OnMessage = [&](const bus::Frame6& frame, int converter) { controls.HandleFrame(frame, converter); };
  if (!port.Open()) return -1;
  int steps = 0;
  controls.OnSearchProgress = [&](int, int) { ++steps; };
  const uint32_t start = host.GetClock().TickCount();
  controls.SetSearchMode(devices::smRegister | devices::smSweep);
  host.RunUntil([&] { return steps >= kAddresses; }, 10 * 60 * 1000);
  const uint32_t spent = host.GetClock().TickCount() - start;
  controls.SetSearchMode(devices::smNone);
  port.OnMessage = nullptr;
  port.Terminate();
  found = controls.Count();
  return spent;
}

// The same pass on the virtual clock: pure bus and wait time.
double VirtualPass(bool empty) {
  platform::VirtualPlatform host;
  auto bench = MakeBench(empty, host.GetClock());
  devices::ThreadlessEngine engine(host);
  auto usb = std::make_unique<bus::TUSBPort>(bench->Driver(), host.GetClock(), 1);
  usb->Open();
  bus::TPort port(engine.EnginePlatform(), std::move(usb));
  engine.Attach(port);
  devices::TControls controls(port, engine.RegistryPlatform());
  port.OnMessage = [&](const bus::Frame6& frame, int converter) { controls.HandleFrame(frame, converter); };
  engine.Start(1);
  int steps = 0;
  controls.OnSearchProgress = [&](int, int) { ++steps; };
  const uint64_t start = host.Virtual().Elapsed();
  controls.SetSearchMode(devices::smRegister | devices::smSweep);
  host.AdvanceUntil([&] { return steps >= kAddresses; }, 10 * 60 * 1000, 5);
  return static_cast<double>(host.Virtual().Elapsed() - start);
}

void SweepPass(benchmark::State& state) {
  const bool empty = state.range(0) == 0;
  double realMs = 0;
  int found = 0;
  for (auto _ : state) {
    realMs = RealPass(empty, found);
    state.SetIterationTime(realMs / 1000.0);
  }
  const double virtualMs = VirtualPass(empty);
  state.SetLabel(empty ? "empty bus" : "default bench");
  state.counters["pass_s"] = realMs / 1000.0;
  state.counters["ms_per_address"] = realMs / kAddresses;
  state.counters["bus_time_s"] = virtualMs / 1000.0;
  state.counters["devices"] = found;
}

BENCHMARK(SweepPass)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
