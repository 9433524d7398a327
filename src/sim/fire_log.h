#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace fd::sim {

// How a firing came about: a command on the bus, or the console's own playback of its memory.
enum class FireSource { Direct, Memory };
enum class FireKind { Channel, Motion };

// One firing on the bench. Channel numbers are the wire's (1-based); a motion carries the motor
// sub-code and its two parameter bytes (x, y) as they travel in the motor command.
struct FireEntry {
  int console = 0;
  FireKind kind = FireKind::Channel;
  int channel = 0;
  int level = 0;
  uint8_t motionCode = 0;
  int x = 0;
  int y = 0;
  uint64_t timeUs = 0;  // bench time
  FireSource source = FireSource::Direct;

  double TimeMs() const { return static_cast<double>(timeUs) / 1000.0; }
  bool operator==(const FireEntry&) const = default;
};

// One line, e.g. "1234.567 ms  console 5  channel 3  level 0  direct".
std::string FireEntryText(const FireEntry& entry);

// Every firing of every console of a bench, in the order they happened. Shared by the devices and
// read from other threads (the bench tool prints it while serving).
class FireLog {
 public:
  void Add(const FireEntry& entry);
  std::vector<FireEntry> Entries() const;
  size_t Size() const;
  void Clear();
  // All entries, one line each; "(no firings)" when empty.
  std::string Text() const;

 private:
  mutable std::mutex mutex_;
  std::vector<FireEntry> entries_;
};

}  // namespace fd::sim
