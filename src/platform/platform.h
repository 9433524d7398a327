#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/timer.h"

namespace fd::platform {

// The seam to the host: time, timers, the user-interface thread and its message box.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual Clock& GetClock() = 0;
  virtual std::unique_ptr<Timer> CreateTimer() = 0;

  // Runs fn on the user-interface thread and returns when it has run. Called on that thread it
  // simply runs fn.
  virtual void RunOnUiThread(const std::function<void()>& fn) = 0;

  // Lets the user-interface thread handle what is waiting: input, repaints, due timers, hand-overs.
  virtual void ProcessPendingEvents() = 0;

  // Modal message box with a single OK button.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

}  // namespace fd::platform
