#pragma once

// The operator window on the in-process bench, with the red banner, a run log to read back and
// timers that fire only when a test says so.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/converter_source.h"
#include "app/main_form.h"
#include "app/warning_form.h"
#include "sim/bench.h"
#include "support/cp1251.h"
#include "support/run_log.h"

namespace fd::app::testing {

// A timer that keeps its settings and fires when the test calls Fire.
class ManualTimer : public platform::Timer {
 public:
  void SetInterval(uint32_t ms) override { interval_ = ms; }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) ++Starts;
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }
  // Runs the handler as a tick would; a disabled timer does not tick.
  void Fire() {
    if (enabled_ && OnTimer) OnTimer();
  }
  int Starts = 0;  // how often the count began from zero

 private:
  uint32_t interval_ = 1000;
  bool enabled_ = false;
};

class ManualTimerPlatform : public RecordingPlatform {
 public:
  std::unique_ptr<platform::Timer> CreateTimer() override { return std::make_unique<ManualTimer>(); }
};

inline ManualTimer& Manual(platform::Timer& timer) { return dynamic_cast<ManualTimer&>(timer); }

// The run log's lines in UTF-8, without their time stamps.
inline QStringList RunLogLines() {
  QFile file(QString::fromStdString(support::LogFileName()));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromStdString(support::Cp1251ToUtf8(file.readAll().toStdString()));
  QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
  // The stamp follows the user's locale: "08.12.2026 13:40:00" in Russian, "12/08/26 13:40:00" in C.
  static const QRegularExpression stamp(R"(^(\d\d\.\d\d\.\d{4}|\d\d/\d\d/\d\d) \d\d:\d\d:\d\d: )");
  for (QString& line : lines) line.remove(stamp);
  return lines;
}

// The lines written after start-up (banner and audio line left out).
inline QStringList LinesAfterStartup() {
  QStringList lines = RunLogLines();
  while (!lines.isEmpty() && !lines.first().startsWith(QStringLiteral("Инициализация аудиоустройства")))
    lines.removeFirst();
  if (!lines.isEmpty()) lines.removeFirst();
  return lines;
}

// Writes a file into the test's folder and gives its path.
inline QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& text) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(text);
  return path;
}

// Answers the next modal dialog with the function, once it is up. The watch belongs to owner, so
// a test that failed before its dialog came leaves no watch behind for the next test's dialog.
inline void WhenDialogShows(QObject* owner, std::function<void(QDialog&)> answer) {
  auto* poll = new QTimer(owner);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(*dialog);
    }
  });
  poll->start(10);
}

class BenchWindow {
 public:
  // benchText empty: the default bench. adjust changes the command line the window starts with,
  // adjustEnvironment the folders it finds.
  BenchWindow(platform::Platform& platform, const QTemporaryDir& dir, const std::string& benchText = {},
              const std::function<void(CommandLineOptions&)>& adjust = {},
              const std::function<void(StartupEnvironment&)>& adjustEnvironment = {}) {
    ConverterChoice choice;
    choice.Kind = ConverterChoice::Source::Simulate;
    if (!benchText.empty()) {
      choice.BenchPath = dir.filePath("window.bench").toStdString();
      std::ofstream(choice.BenchPath) << benchText;
    }
    std::string error;
    converter_ = ConverterSource::Make(choice, platform.GetClock(), error);
    if (!converter_) qFatal("bench: %s", error.c_str());
    CommandLineOptions options;
    options.LogLevel = 1;
    if (adjust) adjust(options);
    StartupEnvironment env;
    env.ProgramFolder = dir.path().toStdString() + "/";
    env.Now = [] { return std::time_t{1765200000}; };
    env.Converter = converter_.get();
    if (adjustEnvironment) adjustEnvironment(env);
    form_ = std::make_unique<TMainForm>(platform, options, env);
    MainForm = form_.get();
    warning_ = std::make_unique<TWarningForm>(platform, form_.get());
    WarningForm = warning_.get();
  }
  ~BenchWindow() {
    WarningForm = nullptr;
    MainForm = nullptr;
  }

  TMainForm& Form() { return *form_; }
  TWarningForm& Warning() { return *warning_; }
  sim::Bench& Bench() { return *converter_->Bench(); }

  void ShowActive() {
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  }

  // A key as the operator presses it: to the widget that has the focus, in the window in front.
  // After a dialog has closed, that is the main window again once it has the keyboard back.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    if (target != nullptr && !target->window()->isVisible()) {
      QVERIFY2(QTest::qWaitForWindowActive(form_.get()), "the main window did not get the keyboard back");
      target = QApplication::focusWidget();
    }
    QTest::keyClick(target != nullptr ? target : form_.get(), key, modifiers);
  }

 private:
  std::unique_ptr<ConverterSource> converter_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<TWarningForm> warning_;  // destroyed first: it sits on the window
};

}  // namespace fd::app::testing
