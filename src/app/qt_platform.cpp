#include "app/qt_platform.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "support/run_log.h"

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

// Hand-overs from the engine thread: a queue under a standard mutex, and an eventfd that wakes the
// GUI thread's event loop. A blocking queued call would do the same, but its waiting happens inside
// Qt where a race checker cannot see it, and every hand-over would then look like a data race;
// here both directions pass through the mutex, so the checker sees what the worker publishes to
// fn and what fn leaves for the worker.
class QtPlatform::HandOvers {
 public:
  HandOvers() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
  }
  ~HandOvers() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }

  // On the worker: returns once the GUI thread has run fn.
  void Run(const std::function<void()>& fn) {
    Item item{&fn};
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(&item);
    }
    const uint64_t one = 1;
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return item.done; });
  }

 private:
  struct Item {
    const std::function<void()>* fn;
    bool done = false;
  };

  // On the GUI thread. fn may let events run, and with them a nested Drain: each item is taken
  // off the queue before it runs, so none runs twice.
  void Drain() {
    uint64_t count = 0;
    while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    for (;;) {
      Item* item = nullptr;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        item = queue_.front();
        queue_.pop_front();
      }
      (*item->fn)();
      {
        std::lock_guard lock(mutex_);
        item->done = true;
      }
      done_.notify_all();
    }
  }

  int fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<Item*> queue_;
};

QtPlatform::QtPlatform() : handOvers_(std::make_unique<HandOvers>()) {}
QtPlatform::~QtPlatform() = default;

std::unique_ptr<platform::Timer> QtPlatform::CreateTimer() { return std::make_unique<QtTimer>(); }

void QtPlatform::RunOnUiThread(const std::function<void()>& fn) {
  if (!fn) return;
  if (OnGuiThread()) {
    fn();
    return;
  }
  // The worker waits until the GUI thread has run fn, so fn may use the worker's data.
  if (handOvers_->Ok()) {
    handOvers_->Run(fn);
    return;
  }
  QMetaObject::invokeMethod(
      qApp, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void QtPlatform::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtPlatform::ShowMessage(const std::string& text, const std::string& caption) {
  if (boxesStopped_) {
    std::fprintf(stderr, "firnadesk: %s: %s\n", caption.c_str(), text.c_str());
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

void QtPlatform::ShowFailure(const std::string& text, const std::string& caption, const std::string& record) {
  ++failures_;
  support::WriteLog(record, 1);
  const bool logCopiesToStderr = support::LogLevel.load() >= 1;
  if (boxesStopped_) {
    // No box will open: standard error is the only place left to say it, terminal or not.
    if (!logCopiesToStderr) std::fprintf(stderr, "firnadesk: %s\n", record.c_str());
    return;
  }
  if (!logCopiesToStderr && ::isatty(STDERR_FILENO) == 0) std::fprintf(stderr, "firnadesk: %s\n", record.c_str());
  ShowMessage(text, caption);
}

}  // namespace fd::app
