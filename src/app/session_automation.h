#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace fd::app {

// The unattended part of a session asked for on the command line: a PNG picture of the window once
// it has been shown and painted, and closing the window after a while through its normal close
// path (so the exit lines are written, and a playing show still refuses).
class SessionAutomation : public QObject {
  Q_OBJECT

 public:
  // An empty path takes no picture; a negative quitAfterMs never closes.
  SessionAutomation(QWidget* window, const QString& screenshotPath, int screenshotDelayMs, int quitAfterMs,
                    QObject* parent = nullptr);

  // Call once the window is shown; both delays count from here.
  void Start();

  bool ScreenshotPending() const { return screenshotPending_; }
  bool ScreenshotWritten() const { return screenshotWritten_; }
  // A picture was asked for and could not be written.
  bool ScreenshotFailed() const { return screenshotFailed_; }

  // Takes the picture now (if one is still due).
  void TakeScreenshot();

  // Runs when the quit time has come, before anything is closed (the console stops opening
  // message boxes then).
  std::function<void()> OnQuit;

 private:
  void Quit();

  QPointer<QWidget> window_;
  QString screenshotPath_;
  int screenshotDelayMs_;
  int quitAfterMs_;
  bool screenshotPending_ = false;
  bool screenshotWritten_ = false;
  bool screenshotFailed_ = false;
};

}  // namespace fd::app
