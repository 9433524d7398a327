#include "app/qt_platform.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdint>

namespace fd::app {

namespace {

class QtTimer : public platform::Timer {
 public:
  QtTimer() {
    timer_.setInterval(1000);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (OnTimer) OnTimer();
    });
  }
  void SetInterval(uint32_t ms) override { timer_.setInterval(static_cast<int>(std::min<uint32_t>(ms, INT32_MAX))); }
  uint32_t Interval() const override { return static_cast<uint32_t>(timer_.interval()); }
  void SetEnabled(bool enabled) override {
    if (enabled == timer_.isActive()) return;
    if (enabled)
      timer_.start();
    else
      timer_.stop();
  }
  bool Enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

bool OnGuiThread() { return qApp == nullptr || QThread::currentThread() == qApp->thread(); }

}  // namespace

std::unique_ptr<platform::Timer> QtPlatform::CreateTimer() { return std::make_unique<QtTimer>(); }

void QtPlatform::RunOnUiThread(const std::function<void()>& fn) {
  if (!fn) return;
  if (OnGuiThread()) {
    fn();
    return;
  }
  // The worker waits until the GUI thread has run fn, so fn may use the worker's data.
  QMetaObject::invokeMethod(
      qApp, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void QtPlatform::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtPlatform::ShowMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

}  // namespace fd::app
