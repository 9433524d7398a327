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

  // A file the operator asked for could not be loaded. text is the message box's text as the
  // operator knows it; record is the same with the reason added ("Ошибка загрузки фонограммы: не
  // обычный файл"), for the run log and for hosts that print instead of showing a box. By default
  // only the box.
  virtual void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) {
    (void)record;
    ShowMessage(text, caption);
  }
};

}  // namespace fd::platform
