#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/steady_clock.h"

namespace fd::app {

// The platform of the console: real time, Qt timers on the GUI thread, hand-overs into the GUI
// thread that the worker waits for, and Qt message boxes. Make it on the GUI thread once the
// QApplication exists.
class QtPlatform : public platform::Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  platform::Clock& GetClock() override { return clock_; }
  std::unique_ptr<platform::Timer> CreateTimer() override;
  void RunOnUiThread(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  // A modal box over the active window with one OK button.
  void ShowMessage(const std::string& text, const std::string& caption) override;

 private:
  class HandOvers;

  platform::SteadyClock clock_;
  std::unique_ptr<HandOvers> handOvers_;
};

}  // namespace fd::app
