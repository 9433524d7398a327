#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/steady_clock.h"

namespace fd::platform {

// The platform of the command-line tools: real time, and a plain loop on the thread that made it in
// place of a window system's message loop. Timers and hand-overs run only inside
// ProcessPendingEvents, RunFor and RunUntil, on that thread.
class LoopPlatform : public Platform {
 public:
  LoopPlatform();
  ~LoopPlatform() override;

  Clock& GetClock() override { return clock_; }
  std::unique_ptr<Timer> CreateTimer() override;
  void RunOnUiThread(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  // Message boxes go to standard error as "caption: text".
  void ShowMessage(const std::string& text, const std::string& caption) override;
  // A failure is printed once, with its reason: "caption: record".
  void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) override;

  // Runs the loop until pred() holds (true) or limitMs passed (false).
  bool RunUntil(const std::function<bool()>& pred, uint32_t limitMs);
  void RunFor(uint32_t ms);

 private:
  class LoopTimer;
  friend class LoopTimer;

  SteadyClock clock_;
  std::thread::id uiThread_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<std::function<void()>*> handOvers_;
  std::vector<LoopTimer*> timers_;
};

}  // namespace fd::platform
