#include "sim/bench.h"

#include "sim/bench_file.h"
#include "sim/default_bench.h"

namespace fd::sim {

Bench::Bench(const BenchConfig& config, platform::Clock& clock)
    : config_(config), segment_(clock, config.converters), driver_(segment_) {
  for (const ConsoleConfig& c : config_.consoles)
    consoles_[c.address] = static_cast<ConsoleDevice*>(&segment_.AddDevice(std::make_unique<ConsoleDevice>(c, log_)));
  for (const RadioConfig& r : config_.radios)
    radios_[r.address] = static_cast<RadioDevice*>(&segment_.AddDevice(std::make_unique<RadioDevice>(r)));
  if (config_.remote)
    remote_ = static_cast<RemoteDevice*>(&segment_.AddDevice(std::make_unique<RemoteDevice>(*config_.remote)));
  for (const PeerConfig& p : config_.peers)
    peers_.push_back(static_cast<PeerDevice*>(&segment_.AddDevice(std::make_unique<PeerDevice>(p))));
}

Bench::~Bench() = default;

std::unique_ptr<Bench> Bench::Load(const std::string& path, platform::Clock& clock, std::string& error) {
  std::optional<BenchConfig> config = LoadBenchFile(path, error);
  if (!config) return nullptr;
  return std::make_unique<Bench>(*config, clock);
}

std::unique_ptr<Bench> Bench::LoadDefault(platform::Clock& clock) {
  std::string error;
  std::optional<BenchConfig> config = ParseBench(kDefaultBenchText, kDefaultBenchName, error);
  // The text is compiled in and tested; a failure here is a build that must not ship.
  if (!config) return nullptr;
  return std::make_unique<Bench>(*config, clock);
}

ConsoleDevice* Bench::Console(int address) {
  auto it = consoles_.find(address);
  return it == consoles_.end() ? nullptr : it->second;
}

RadioDevice* Bench::Radio(int address) {
  auto it = radios_.find(address);
  return it == radios_.end() ? nullptr : it->second;
}

PeerDevice* Bench::Peer(int instance) {
  for (PeerDevice* p : peers_)
    if (instance < 0 || p->Instance() == instance) return p;
  return nullptr;
}

std::vector<ModelDevice*> Bench::Devices() {
  std::vector<ModelDevice*> all;
  for (const ConsoleConfig& c : config_.consoles) all.push_back(consoles_[c.address]);
  for (const RadioConfig& r : config_.radios) all.push_back(radios_[r.address]);
  if (remote_) all.push_back(remote_);
  for (PeerDevice* p : peers_) all.push_back(p);
  return all;
}

bool Bench::SetPowered(int address, bool on) {
  std::vector<ModelDevice*> targets;
  for (ModelDevice* d : Devices())
    if (d->Address() == address) targets.push_back(d);
  for (ModelDevice* d : targets) {
    segment_.SetDevicePowered(*d, on);
    d->PowerChanged(on);
  }
  return !targets.empty();
}

void Bench::Unplug(int converter) { segment_.Unplug(converter); }

void Bench::Replug(int converter) { segment_.Replug(converter); }

bool Bench::RemoteStop(int timeMs) {
  if (!remote_) return false;
  remote_->PressStop(timeMs);
  return true;
}

bool Bench::PeerQuery(int instance, int target) {
  PeerDevice* peer = Peer(instance);
  if (!peer) return false;
  peer->SendStateQuery(target);
  return true;
}

bool Bench::PeerStop(int instance, int timeMs) {
  PeerDevice* peer = Peer(instance);
  if (!peer) return false;
  peer->SendStop(timeMs);
  return true;
}

std::unique_ptr<Bench> MakeSimulatedBench(const std::string& benchPath, platform::Clock& clock, std::string& error) {
  if (benchPath.empty()) {
    error.clear();
    return Bench::LoadDefault(clock);
  }
  return Bench::Load(benchPath, clock, error);
}

}  // namespace fd::sim
