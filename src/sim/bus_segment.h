#pragma once

// One simulated RS485 segment: the medium of the virtual bench.
//
// Time. Bench time is in microseconds and follows a platform::Clock (milliseconds), so the same
// code runs on the virtual clock in tests and on the real clock in the bench tool. A byte takes
// WireTimeUs(1) (19200 baud, 10 bits a byte); byte k of a transmission that starts at s has
// arrived everywhere at s + WireTimeUs(k + 1).
//
// Talkers. Converters and devices put transmissions on the wire. A talker starts at once (at the
// time it asks, or as soon as its own previous transmission is finished): nobody listens before
// talking, as with an RS485 driver that switches direction by itself. When two talkers are on
// the wire in the same interval, the bytes of each that overlap the other are corrupted for every
// listener, and neither transmission yields a frame to the devices.
//
// Listeners. Every open converter hears everything on the wire, its own transmission included
// (the echo), each byte once its wire time has passed; a converter set to "no echo" misses only
// its own bytes. Devices get the intact frames (valid CRC, code neither 0x00 nor 0xFF) cut from
// each transmission of somebody else, through OnFrame, when the frame's last byte has arrived, and
// answer with transmissions that start when they ask (the turn-around delay is theirs to choose).
//
// Moving time. Poll() brings the segment up to the clock: devices hear due frames and get
// AdvanceTo in time order, then the bytes due by now land in the converters' receive queues. The
// bench driver polls on every call that looks at the segment, so the devices live as long as
// somebody uses the bus.
//
// Threads. All public operations are thread-safe: the bus engine's thread and the UI thread use
// the driver, and tests inject faults from a third. Devices are only ever called by one thread at
// a time and never while the segment's state lock is held. From inside its callbacks a device may
// use the fault operations (SetDevicePowered included) and Inject, but must not poll, use the
// converter operations, or add or remove devices.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bus/converter_driver.h"
#include "platform/clock.h"
#include "sim/bus_device.h"

namespace fd::sim {

// One transmission as the wire carried it, for tests and the bench tool's trace.
struct WireRecord {
  enum class Source { kConverter, kDevice, kInjected };
  Source source = Source::kInjected;
  int converter = -1;                 // for kConverter
  const BusDevice* device = nullptr;  // for kDevice
  uint64_t startUs = 0;
  uint64_t endUs = 0;
  std::vector<uint8_t> bytes;  // as they went out (after wire faults and collisions)
  bool collided = false;
};

class BusSegment {
 public:
  explicit BusSegment(platform::Clock& clock, int converterCount = 1);
  ~BusSegment();
  BusSegment(const BusSegment&) = delete;
  BusSegment& operator=(const BusSegment&) = delete;

  platform::Clock& GetClock() { return clock_; }
  // Bench time now (microseconds since the segment was made), without polling.
  uint64_t NowUs();
  // Brings devices and receivers up to the clock. Returns bench time now.
  uint64_t Poll();

  // --- devices --------------------------------------------------------------------------------
  // The segment keeps an owned device alive for its own lifetime.
  BusDevice& AddDevice(std::unique_ptr<BusDevice> device);
  // An attached device must outlive the segment or be detached first.
  void AttachDevice(BusDevice& device);
  void DetachDevice(BusDevice& device);
  // Switching a device off also drops what it had scheduled but not yet started.
  void SetDevicePowered(BusDevice& device, bool on);

  // Puts bytes on the wire from nobody in particular (other traffic), starting at startUs.
  void Inject(const std::vector<uint8_t>& bytes, uint64_t startUs);

  // --- faults on demand -----------------------------------------------------------------------
  int ConverterCount();
  // Unplugged: not listed, open handles fail, nothing is heard. Replugging lists it again; it has
  // to be opened anew.
  void Unplug(int converter);
  void Replug(int converter);
  bool Plugged(int converter);
  // A listed converter that refuses to open (held by another program).
  void SetOpenable(int converter, bool openable);
  // Without echo the converter's receiver does not hear its own transmissions.
  void SetEcho(int converter, bool echo);
  // The next n bytes this converter receives are lost / arrive changed (inverted).
  void DropReceived(int converter, int n);
  void CorruptReceived(int converter, int n);
  // The next n bytes put on the wire by anyone are heard by nobody / are heard changed by everyone.
  void DropOnWire(int n);
  void CorruptOnWire(int n);
  // From now on each byte put on the wire is heard changed with this probability (0 switches it
  // off), drawn from a generator seeded with `seed` so that a run can be repeated.
  void SetCorruptionRate(double fraction, uint32_t seed = 1);
  // Bytes changed so far by CorruptOnWire and SetCorruptionRate together.
  uint64_t CorruptedCount();

  std::vector<WireRecord> WireLog();
  void ClearWireLog();

  // --- the converter side, used by BenchDriver ----------------------------------------------
  // Listing shows the plugged converters in order; list index i is the i-th of them.
  uint32_t ListedCount();
  bool ListedConverter(uint32_t listIndex, int& converter);
  std::string SerialNumber(int converter) const;
  // A session number identifies one open of a converter; it dies with Close or an unplug.
  bus::FT_STATUS OpenConverter(int converter, uint64_t& session);
  bus::FT_STATUS CloseConverter(int converter, uint64_t session);
  bus::FT_STATUS CheckSession(int converter, uint64_t session);
  // Schedules the bytes on the wire; the converter starts as soon as its own transmitter is free.
  bus::FT_STATUS Transmit(int converter, uint64_t session, const uint8_t* data, uint32_t count);
  // Takes up to count received bytes without waiting (no polling either).
  bus::FT_STATUS Receive(int converter, uint64_t session, uint8_t* buffer, uint32_t count, uint32_t& got);
  bus::FT_STATUS QueueStatus(int converter, uint64_t session, uint32_t& bytes);
  // RX: forget what arrived; TX: take back what has not gone out yet.
  bus::FT_STATUS Purge(int converter, uint64_t session, uint32_t mask);

  // Received bytes a converter holds at most; the oldest go first beyond that.
  static constexpr size_t kReceiveLimit = 1 << 20;
  static constexpr size_t kWireLogLimit = 4096;

 private:
  struct Tx;
  struct Converter;
  struct DeviceEntry;
  struct PendingFrame;
  struct Talker {
    WireRecord::Source source;
    int converter;
    BusDevice* device;
  };

  uint64_t NowUsLocked();
  // A fault takes effect now: what was due before it happens first. Skipped when a device
  // injects the fault from inside its own callback (the poll is already running then).
  void CatchUp();
  void AddTransmissionLocked(const Talker& talker, uint64_t startUs, std::vector<uint8_t> bytes);
  // Takes back what the talker has not started sending by nowUs; returns when it falls silent.
  uint64_t CutTalkerLocked(const Talker& talker, uint64_t nowUs);
  bool NextFrameLocked(uint64_t nowUs, PendingFrame& frame);
  void DeliverBytesLocked(uint64_t nowUs);
  void PruneLocked(uint64_t nowUs);
  void AdvanceDevices(uint64_t untilUs);
  void RunDevice(DeviceEntry& entry, const PendingFrame* frame, uint64_t atUs);
  Converter* Conv(int converter);
  const Converter* Conv(int converter) const;

  platform::Clock& clock_;

  // Serialises moving time and every call into a device. Taken before mutex_, never after it.
  std::mutex advanceMutex_;
  std::vector<std::unique_ptr<DeviceEntry>> devices_;  // guarded by advanceMutex_
  uint64_t deviceTimeUs_ = 0;                          // guarded by advanceMutex_
  std::atomic<std::thread::id> pollingThread_{};

  // Guards everything below.
  mutable std::mutex mutex_;
  uint32_t lastTick_ = 0;
  uint64_t elapsedMs_ = 0;
  std::vector<std::unique_ptr<Converter>> converters_;
  std::deque<std::shared_ptr<Tx>> wire_;  // recent transmissions, by start time
  // Byte arrivals not yet handed to the receivers: arrival time -> (transmission, byte index).
  std::multimap<uint64_t, std::pair<std::shared_ptr<Tx>, size_t>> arrivals_;
  std::deque<std::shared_ptr<Tx>> log_;
  int dropOnWire_ = 0;
  int corruptOnWire_ = 0;
  double corruptionRate_ = 0;
  std::minstd_rand corruptionRandom_;
  uint64_t corrupted_ = 0;
  uint64_t nextSession_ = 1;
};

}  // namespace fd::sim
