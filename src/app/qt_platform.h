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
  // The box, after the record has gone into the run log as a line of its own, and to standard
  // error when that is no terminal (a script or a launcher started the console) and the log does
  // not already copy its lines there.
  void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) override;
  // How many failures were shown: a run that closes itself (--quit-after) ends with an error then.
  int FailuresShown() const { return failures_; }
  // The program is ending and nobody is left to answer a box: from now on a message goes to
  // standard error instead of a box.
  void StopShowingMessages() { boxesStopped_ = true; }

 private:
  class HandOvers;

  platform::SteadyClock clock_;
  std::unique_ptr<HandOvers> handOvers_;
  int failures_ = 0;
  bool boxesStopped_ = false;
};

}  // namespace fd::app
