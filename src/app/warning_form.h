#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <memory>

#include "platform/platform.h"
#include "platform/timer.h"

namespace fd::app {

// The red banner for alarms that must catch the eye during a show: the converter lost, the show
// stopped from outside. Not modal, so the show, polling and keys go on while it is up; it stays on
// top of the main window, takes no focus from it, and closes by itself after 10 s or on a key.
class TWarningForm : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 486;
  static constexpr int kClientHeight = 95;
  static constexpr uint32_t kShowMs = 10000;

  // mainWindow: the window the banner is centred on and kept above.
  explicit TWarningForm(platform::Platform& platform, QWidget* mainWindow = nullptr);
  ~TWarningForm() override;

  // Shows the text. A banner already up only changes its text: the 10 s run from its first show.
  void ShowWarning(const QString& text);
  // The timer's handler: the banner has been up long enough.
  void TimerTimer();

  QLabel* Panel = nullptr;
  std::unique_ptr<platform::Timer> Timer;

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // any key closes it
  void hideEvent(QHideEvent* event) override;     // a hidden banner has nothing left to count

 private:
  void CentreOnMainWindow();

  QWidget* mainWindow_;
};

// The banner of the program while it exists.
extern TWarningForm* WarningForm;

}  // namespace fd::app
