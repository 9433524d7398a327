#include "app/session_automation.h"

#include <QApplication>
#include <QList>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "support/terminal_text.h"

namespace fd::app {

SessionAutomation::SessionAutomation(QWidget* window, const QString& screenshotPath, int screenshotDelayMs,
                                     int quitAfterMs, QObject* parent)
    : QObject(parent),
      window_(window),
      screenshotPath_(screenshotPath),
      screenshotDelayMs_(screenshotDelayMs < 0 ? 0 : screenshotDelayMs),
      quitAfterMs_(quitAfterMs) {}

void SessionAutomation::Start() {
  screenshotPending_ = !screenshotPath_.isEmpty();
  if (screenshotPending_) QTimer::singleShot(screenshotDelayMs_, this, [this] { TakeScreenshot(); });
  if (quitAfterMs_ >= 0) QTimer::singleShot(quitAfterMs_, this, [this] { Quit(); });
}

void SessionAutomation::TakeScreenshot() {
  if (!screenshotPending_) return;
  screenshotPending_ = false;
  const QPixmap picture = window_ ? window_->grab() : QPixmap();
  if (!picture.isNull() && picture.save(screenshotPath_, "PNG")) {
    screenshotWritten_ = true;
    return;
  }
  screenshotFailed_ = true;
  const QByteArray path = screenshotPath_.toLocal8Bit();
  std::fprintf(stderr, "firnadesk: could not write the screenshot to %s\n",
               support::TerminalPath(std::string_view(path.constData(), static_cast<size_t>(path.size()))).c_str());
}

void SessionAutomation::Quit() {
  // A short quit time must not cost the picture that was asked for.
  TakeScreenshot();
  if (OnQuit) OnQuit();
  // A message box waiting for the operator runs its own event loop, and the program could not end
  // before somebody answers it: it is closed first (each modal window once, so that one refusing
  // to close cannot hold this loop).
  QList<QWidget*> closed;
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (modal == window_ || closed.contains(modal)) break;
    closed.append(modal);
    modal->close();
  }
  if (window_) window_->close();
}

}  // namespace fd::app
