#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "show/sample_show.h"

namespace fd::sim {
class Bench;
}

namespace fd::app {

class TMainForm;

// The operator's whole path played by the program itself on the virtual bench: search, channel
// tests, the sample show loaded with F2 and F3, written and verified, F1 and F5, with a picture of
// the window after each step. Every step is a key press into the window, so the demo runs the same
// handlers as an operator would. At the end the bench's fire log is held against the show's cues
// and the last line on stdout says how many fired.
class DemoRun : public QObject {
  Q_OBJECT

 public:
  // closeAtEnd: close the window once the result is printed (nobody is there to look at it).
  DemoRun(TMainForm& form, sim::Bench& bench, platform::Clock& clock, const QString& shotsFolder, bool closeAtEnd,
          QObject* parent = nullptr);

  // Call once the window is shown.
  void Start();

  bool Done() const { return done_; }
  // 0 only when every cue fired, nothing fired unasked, the write and the verify went through and
  // every picture was written.
  int ExitCode() const { return exitCode_; }

 private:
  void After(int ms, std::function<void()> step);
  // A key press and release sent to the window, through its own key routing.
  void Press(int key);
  void Shot(const char* name);
  // One line on stdout; stamped lines carry the seconds since the demo started.
  void Say(const std::string& text, bool stamped = true);
  // Answers the dialogs a step opens, as the operator would: go on past the pre-flight checks,
  // close the additional-devices list and the messages (each one is echoed to stderr).
  void AnswerDialogs();

  void StepSearch();
  void WaitForSweep(int address, int advanced, int waitedMs);
  void StepTests();
  void StepScenario();
  void StepWrite();
  void StepVerify();
  // F8 or F9 with its button's check, the memory window's result and the step's picture.
  void StepMemory(const QWidget& button, int key, const char* keyName, const char* action, const char* shot,
                  std::function<void()> next);
  void StepReady();
  void StepShow();
  void WatchShow(int waitedMs);
  void Finish();
  void Fail(const std::string& why);

  TMainForm& form_;
  sim::Bench& bench_;
  platform::Clock& clock_;
  QDir shots_;
  bool closeAtEnd_;
  QTimer dialogTimer_;
  QElapsedTimer elapsed_;
  show::SampleShow show_;
  show::SampleShowFiles files_;
  uint64_t showStartUs_ = 0;
  bool showStarted_ = false;
  bool failed_ = false;
  bool midShowShot_ = false;
  bool shotFailed_ = false;
  bool done_ = false;
  int exitCode_ = 1;
};

}  // namespace fd::app
