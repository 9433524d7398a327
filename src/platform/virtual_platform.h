#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace fd::platform {

// A clock that moves only when told: Sleep advances it at once, so a test of a ten-minute show runs
// in milliseconds and every time-out is exact.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 100000) : start_(start) {}
  uint32_t TickCount() override { return static_cast<uint32_t>(start_ + elapsed_.load()); }
  void Sleep(uint32_t ms) override { elapsed_ += ms; }

  // Virtual milliseconds since the clock was made; never wraps.
  uint64_t Elapsed() const { return elapsed_.load(); }
  void SetElapsed(uint64_t elapsed) { elapsed_ = elapsed; }

 private:
  uint32_t start_;
  std::atomic<uint64_t> elapsed_{0};
};

// The platform for tests: virtual time, timers that fire only inside Advance, hand-overs that run
// at once, and message boxes that are recorded instead of shown.
class VirtualPlatform : public Platform {
 public:
  explicit VirtualPlatform(uint32_t clockStart = 100000);
  ~VirtualPlatform() override;

  Clock& GetClock() override { return clock_; }
  VirtualClock& Virtual() { return clock_; }
  std::unique_ptr<Timer> CreateTimer() override;
  void RunOnUiThread(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  // Recorded like a message box, with the record beside it.
  void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) override;

  // Moves time forward by ms, firing every enabled timer whose moment comes, in time order. A
  // handler that sleeps moves the clock too; a timer whose moment passed meanwhile fires once as
  // soon as it can and never catches up in a burst, as a desktop timer does.
  void Advance(uint64_t ms);

  // Runs Advance in steps until pred() holds or limitMs has passed; true when pred() held.
  bool AdvanceUntil(const std::function<bool()>& pred, uint64_t limitMs, uint64_t stepMs = 1);

  struct Message {
    std::string text;
    std::string caption;
    std::string record;  // ShowFailure only
  };
  std::vector<Message> messages;
  int processEventsCalls = 0;
  // Runs inside ProcessPendingEvents; a test uses it to act "between steps" (a click, a key).
  std::function<void()> OnProcessEvents;

 private:
  class VirtualTimer;
  friend class VirtualTimer;
  void Unregister(VirtualTimer* timer);

  VirtualClock clock_;
  std::mutex mutex_;
  std::vector<VirtualTimer*> timers_;
};

}  // namespace fd::platform
