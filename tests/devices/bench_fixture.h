#pragma once

// A bus on the virtual clock for the device tests: the engine over a converter on a simulated
// segment, with the bench's device models on it. The engine runs without its thread: its passes
// run from a platform timer and inside the registry's waits (ThreadlessEngine), so advancing the
// virtual platform drives the sweep and the unsolicited frames alike, in time order.

#include <memory>
#include <vector>

#include "bus/bus_frame.h"
#include "bus/tport.h"
#include "bus/usb_port.h"
#include "devices/controls.h"
#include "devices/threadless_engine.h"
#include "platform/virtual_platform.h"
#include "sim/bench_driver.h"
#include "sim/bus_segment.h"
#include "sim/console_device.h"
#include "sim/device_config.h"
#include "sim/fire_log.h"
#include "sim/peer_device.h"
#include "sim/radio_device.h"
#include "sim/remote_device.h"
#include "sim/scripted_device.h"

namespace fd::devices::testing {

// A fault on the way back: whenever a request with this code is heard, the next frame put on the
// wire (its answer) is lost. Devices hear a frame in the order they were added, so this one must
// come before the device that answers.
class AnswerDropper : public sim::BusDevice {
 public:
  AnswerDropper(sim::BusSegment& segment, uint8_t code) : segment_(segment), code_(code) {}
  void OnFrame(const bus::BusFrame& frame, uint64_t, std::vector<sim::Transmission>&) override {
    if (frame[0] == code_) segment_.DropOnWire(bus::kFrameSize);
  }

 private:
  sim::BusSegment& segment_;
  uint8_t code_;
};

class BusBench {
 public:
  BusBench() : segment(platform.GetClock()), driver(segment), engine(platform) {
    auto usb = std::make_unique<bus::TUSBPort>(driver, platform.GetClock(), 1);
    usb->Open();
    port = std::make_unique<bus::TPort>(engine.EnginePlatform(), std::move(usb));
    engine.Attach(*port);
    port->OnFrameSent = [this](const bus::Frame6& frame) { sent.push_back(frame); };
    controls = std::make_unique<TControls>(*port, engine.RegistryPlatform());
    controls->SeedRandom(7);
    port->OnMessage = [this](const bus::Frame6& frame, int converter) { controls->HandleFrame(frame, converter); };
    engine.Start(1);
  }

  ~BusBench() {
    engine.Stop();
    controls.reset();
  }

  sim::ConsoleDevice& AddConsole(const sim::ConsoleConfig& config) {
    auto device = std::make_unique<sim::ConsoleDevice>(config, log);
    return static_cast<sim::ConsoleDevice&>(segment.AddDevice(std::move(device)));
  }
  sim::ConsoleDevice& AddConsole(int address, int version, char letter = 'S', int channels = 16) {
    sim::ConsoleConfig config;
    config.address = address;
    config.version = version;
    config.typeLetter = letter;
    config.channels = channels;
    return AddConsole(config);
  }
  sim::RadioDevice& AddRadio(int address, int version = 0x100) {
    sim::RadioConfig config;
    config.address = address;
    config.version = version;
    return static_cast<sim::RadioDevice&>(segment.AddDevice(std::make_unique<sim::RadioDevice>(config)));
  }
  sim::RemoteDevice& AddRemote(int version = 0x0A3) {
    sim::RemoteConfig config;
    config.version = version;
    return static_cast<sim::RemoteDevice&>(segment.AddDevice(std::make_unique<sim::RemoteDevice>(config)));
  }
  // seed 0: the answer delays follow from the instance number.
  sim::PeerDevice& AddPeer(int instance, int major = 2, uint32_t seed = 0) {
    sim::PeerConfig config;
    config.instance = instance;
    config.majorVersion = major;
    config.seed = seed;
    return static_cast<sim::PeerDevice&>(segment.AddDevice(std::make_unique<sim::PeerDevice>(config)));
  }
  sim::ScriptedDevice& AddScripted() {
    return static_cast<sim::ScriptedDevice&>(segment.AddDevice(std::make_unique<sim::ScriptedDevice>()));
  }
  // Before the device whose answers are to be lost.
  void DropAnswersTo(uint8_t code) { segment.AddDevice(std::make_unique<AnswerDropper>(segment, code)); }
  void PowerOff(sim::BusDevice& device) { segment.SetDevicePowered(device, false); }
  void PowerOn(sim::BusDevice& device) { segment.SetDevicePowered(device, true); }

  // Advances virtual time, firing the sweep and the engine passes as their moments come.
  void Advance(uint64_t ms) { platform.Advance(ms); }
  uint64_t Now() { return platform.Virtual().Elapsed(); }

  // Frames this program put on the bus with a given code.
  int SentCount(uint8_t code) const {
    int n = 0;
    for (const auto& f : sent)
      if (f[0] == code) ++n;
    return n;
  }

  platform::VirtualPlatform platform;
  sim::FireLog log;
  sim::BusSegment segment;
  sim::BenchDriver driver;
  ThreadlessEngine engine;
  std::unique_ptr<bus::TPort> port;
  std::unique_ptr<TControls> controls;
  std::vector<bus::Frame6> sent;
};

}  // namespace fd::devices::testing
