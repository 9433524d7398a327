#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/steady_clock.h"

namespace fd::app {

// The platform of the console: real time, Qt timers on the GUI thread, hand-overs as blocking
// queued calls into the GUI thread and Qt message boxes. Needs a QApplication.
class QtPlatform : public platform::Platform {
 public:
  platform::Clock& GetClock() override { return clock_; }
  std::unique_ptr<platform::Timer> CreateTimer() override;
  void RunOnUiThread(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  // A modal box over the active window with one OK button.
  void ShowMessage(const std::string& text, const std::string& caption) override;

 private:
  platform::SteadyClock clock_;
};

}  // namespace fd::app
