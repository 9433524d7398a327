#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/bench_driver.h"
#include "sim/bus_segment.h"
#include "sim/console_device.h"
#include "sim/device_config.h"
#include "sim/fire_log.h"
#include "sim/peer_device.h"
#include "sim/radio_device.h"
#include "sim/remote_device.h"

namespace fd::sim {

// A whole virtual bench: one segment with its converters and devices, the converter driver over
// it, and the log of every firing. The devices live as long as the bench.
//
// Threads: everything here may be called from any thread while another one uses the driver (the
// bench tool reads commands on one thread and serves the bus on another). The set of devices never
// changes after the bench is built.
class Bench {
 public:
  // Builds every device of the description; the clock drives bench time.
  Bench(const BenchConfig& config, platform::Clock& clock);
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // Loads a bench file. Nothing is built when the file is bad; error says where and why.
  static std::unique_ptr<Bench> Load(const std::string& path, platform::Clock& clock, std::string& error);
  // The bench that ships with the program (benches/default.bench).
  static std::unique_ptr<Bench> LoadDefault(platform::Clock& clock);

  const BenchConfig& Config() const { return config_; }
  BusSegment& Segment() { return segment_; }
  // The converter library of the operator program on this bench.
  BenchDriver& Driver() { return driver_; }
  sim::FireLog& FireLog() { return log_; }

  // Devices for inspection and faults; nullptr when there is none.
  ConsoleDevice* Console(int address);
  RadioDevice* Radio(int address);
  RemoteDevice* Remote() { return remote_; }
  // By instance number; -1 picks the first peer in the file.
  PeerDevice* Peer(int instance = -1);
  // Every device, in file order (consoles, radios, remote, peers).
  std::vector<ModelDevice*> Devices();

  // Switches the device at a bus address off or on; 255 switches every peer. False when nothing
  // lives there.
  bool SetPowered(int address, bool on);
  // Unplugs or replugs a converter (0 is the one the program uses first).
  void Unplug(int converter = 0);
  void Replug(int converter = 0);

  // The remote's stop button; false without a remote control.
  bool RemoteStop(int timeMs = 0);
  // A peer asks for state (target 0 = everybody) or stops the show; false without that peer.
  bool PeerQuery(int instance = -1, int target = 0);
  bool PeerStop(int instance = -1, int timeMs = 0);

 private:
  BenchConfig config_;
  sim::FireLog log_;  // outlives the segment, whose devices write into it
  BusSegment segment_;
  BenchDriver driver_;
  std::map<int, ConsoleDevice*> consoles_;
  std::map<int, RadioDevice*> radios_;
  RemoteDevice* remote_ = nullptr;
  std::vector<PeerDevice*> peers_;
};

// What the operator console's --simulate[=BENCH] uses: the named bench file, or the default bench
// when the name is empty. Returns nothing (and the error text) for a bad file.
std::unique_ptr<Bench> MakeSimulatedBench(const std::string& benchPath, platform::Clock& clock, std::string& error);

}  // namespace fd::sim
