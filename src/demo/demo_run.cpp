#include "demo/demo_run.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/warning_dialogs.h"
#include "show/operating_mode.h"
#include "sim/bench.h"
#include "sim/fire_audit.h"

namespace fd::app {

namespace {

// Long enough for the maximised window to be laid out and painted before the first picture.
constexpr int kFirstShotMs = 1500;
// A pause between steps, so each picture shows the step's result and not the key's moment.
constexpr int kSettleMs = 600;
// One round of the sweep is 256 addresses at the reply timeout (70 ms) each: about 18 s.
constexpr int kSweepLimitMs = 30000;
// A direct-mode firing counts for its cue up to this long after the cue's time.
constexpr double kLateBoundMs = 300;
// Firings of the last cues still on their way when the player stops.
constexpr int kAfterShowMs = 700;

}  // namespace

DemoRun::DemoRun(TMainForm& form, sim::Bench& bench, platform::Clock& clock, const QString& shotsFolder,
                 bool closeAtEnd, QObject* parent)
    : QObject(parent), form_(form), bench_(bench), clock_(clock), shots_(shotsFolder), closeAtEnd_(closeAtEnd) {
  dialogTimer_.setInterval(200);
  connect(&dialogTimer_, &QTimer::timeout, this, [this] { AnswerDialogs(); });
}

void DemoRun::Start() {
  if (!shots_.mkpath(QStringLiteral("."))) {
    Fail("could not create the folder " + shots_.path().toStdString());
    return;
  }
  elapsed_.start();
  show_ = show::MakeSampleShow();
  std::string error;
  if (!show::WriteSampleShow(show_, shots_.absolutePath().toStdString(), files_, error)) {
    Fail(error);
    return;
  }
  Say("sample show of " + std::to_string(show_.Cues.size()) + " cues, " + std::to_string(show_.LengthMs / 1000) +
      " s: " + files_.ScenarioPath);
  Say("pictures of each step go to " + shots_.absolutePath().toStdString());
  dialogTimer_.start();
  After(kFirstShotMs, [this] {
    Shot("01-start");
    StepSearch();
  });
}

void DemoRun::After(int ms, std::function<void()> step) { QTimer::singleShot(ms, this, std::move(step)); }

void DemoRun::Press(int key) {
  QWidget* target = form_.focusWidget() != nullptr ? form_.focusWidget() : &form_;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

void DemoRun::Shot(const char* name) {
  const QString path = shots_.absoluteFilePath(QString::fromLatin1(name) + QStringLiteral(".png"));
  const QPixmap picture = form_.grab();
  if (picture.isNull() || !picture.save(path, "PNG")) {
    shotFailed_ = true;
    std::fprintf(stderr, "demo: could not write %s\n", path.toLocal8Bit().constData());
    return;
  }
  Say(std::string("picture ") + name + ".png");
}

void DemoRun::Say(const std::string& text, bool stamped) {
  if (stamped)
    std::printf("demo: %5.1f s  %s\n", static_cast<double>(elapsed_.elapsed()) / 1000.0, text.c_str());
  else
    std::printf("demo: %s\n", text.c_str());
  std::fflush(stdout);
}

void DemoRun::AnswerDialogs() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return;
  if (PresentWarningForm != nullptr && modal == PresentWarningForm) {
    Say("pre-flight: " + PresentWarningForm->Label1->text().toStdString() + " " +
        PresentWarningForm->Memo->toPlainText().toStdString() + " -> Продолжить");
    PresentWarningForm->ContinueBtn->click();
  } else if (ExternalWarningForm != nullptr && modal == ExternalWarningForm) {
    Say("additional devices found -> Закрыть");
    ExternalWarningForm->CloseBtn->click();
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    std::fprintf(stderr, "demo: message \"%s\": %s\n", box->windowTitle().toUtf8().constData(),
                 box->text().toUtf8().constData());
    box->accept();
  }
}

void DemoRun::StepSearch() {
  Press(Qt::Key_F10);
  if (!form_.Searching) {
    Fail("F10 did not start the search");
    return;
  }
  Say("F10: search");
  After(100, [this] { WaitForSweep(form_.Controls->ScanAddress(), 0, 100); });
}

void DemoRun::WaitForSweep(int address, int advanced, int waitedMs) {
  const int now = form_.Controls->ScanAddress();
  advanced += (now - address + 256) % 256;
  if (advanced < 256 && waitedMs < kSweepLimitMs) {
    After(100, [this, now, advanced, waitedMs] { WaitForSweep(now, advanced, waitedMs + 100); });
    return;
  }
  Press(Qt::Key_F10);
  Say("F10: search off, " + std::to_string(form_.Controls->ConsoleCount()) + " consoles found");
  After(kSettleMs, [this] {
    Shot("02-search");
    StepTests();
  });
}

void DemoRun::StepTests() {
  Press(Qt::Key_Tab);
  if (!form_.IsTestView()) {
    Fail("Tab did not open the test view");
    return;
  }
  Say("Tab, F2: test all channels");
  // The test runs inside the key's handler; the key returns when every console is through.
  Press(Qt::Key_F2);
  After(kSettleMs, [this] {
    Shot("03-test-all");
    Press(Qt::Key_Tab);
    After(kSettleMs, [this] { StepScenario(); });
  });
}

void DemoRun::StepScenario() {
  // The file dialog is the one thing the demo cannot type into: it answers it with the show's files.
  auto chooser = std::move(form_.ChooseFile);
  form_.ChooseFile = [this](const QString&) { return QString::fromStdString(files_.ScenarioPath); };
  Press(Qt::Key_F2);
  form_.ChooseFile = [this](const QString&) { return QString::fromStdString(files_.SoundtrackPath); };
  Press(Qt::Key_F3);
  form_.ChooseFile = std::move(chooser);
  const bool sound = form_.Player->Soundtrack && form_.Player->Soundtrack->Loaded();
  Say("F2, F3: " + std::to_string(form_.Project->Count()) + " cues loaded, soundtrack " +
      (sound ? "loaded" : "not loaded"));
  if (form_.Project->Count() != static_cast<int>(show_.Cues.size())) {
    Fail("the scenario did not load");
    return;
  }
  After(kSettleMs, [this] {
    Shot("04-scenario");
    StepWrite();
  });
}

void DemoRun::StepWrite() {
  StepMemory(*form_.SaveBtn, Qt::Key_F8, "F8", "write", "05-write", [this] { StepVerify(); });
}

void DemoRun::StepVerify() {
  StepMemory(*form_.CheckBtn, Qt::Key_F9, "F9", "verify", "06-verify", [this] { StepReady(); });
}

void DemoRun::StepMemory(const QWidget& button, int key, const char* keyName, const char* action, const char* shot,
                         std::function<void()> next) {
  // A key whose button is greyed out does nothing, and the last result would be an old one.
  if (!button.isEnabled()) {
    Fail(std::string(keyName) + " (" + action + ") is not available");
    return;
  }
  Press(key);
  const int result = MemoryForm != nullptr ? MemoryForm->LastResult() : -1;
  std::string line = std::string(keyName) + ": " + action;
  line += result == 0 ? " done" : " ended with code " + std::to_string(result);
  Say(line);
  // The show still runs, straight from the program, but the consoles' memory is not the show.
  if (result != 0) failed_ = true;
  After(kSettleMs, [this, shot, next = std::move(next)] {
    Shot(shot);
    next();
  });
}

void DemoRun::StepReady() {
  Press(Qt::Key_F1);
  if (show::OperatingMode != show::omReady) {
    Fail("F1 did not switch to ГОТОВНОСТЬ");
    return;
  }
  Say("F1: ГОТОВНОСТЬ");
  After(kSettleMs, [this] {
    Shot("07-ready");
    StepShow();
  });
}

void DemoRun::StepShow() {
  if (form_.Player->LaunchMode != show::lmDirect) {
    Fail("the launch mode is not direct");
    return;
  }
  const uint32_t tick0 = clock_.TickCount();
  const uint64_t us0 = bench_.Segment().NowUs();
  Press(Qt::Key_F5);
  if (!form_.IsPlaying()) {
    Fail("F5 did not start the show");
    return;
  }
  // The show clock started at the player's start tick; the bench counts on the same clock.
  showStartUs_ = us0 + static_cast<uint64_t>(platform::TicksSince(tick0, form_.Player->StartTick)) * 1000;
  showStarted_ = true;
  Say("F5: the show runs");
  WatchShow(0);
}

void DemoRun::WatchShow(int waitedMs) {
  if (form_.IsPlaying()) {
    if (!midShowShot_ && form_.Player->Clock >= show_.LengthMs / 2) {
      midShowShot_ = true;
      Shot("08-show");
    }
    if (waitedMs > show_.LengthMs + 30000) {
      Say("the show did not end by itself: F6");
      Press(Qt::Key_F6);
    }
    After(100, [this, waitedMs] { WatchShow(waitedMs + 100); });
    return;
  }
  Say("the show has ended");
  After(kAfterShowMs, [this] {
    if (!midShowShot_) Shot("08-show");
    Shot("09-end");
    Finish();
  });
}

void DemoRun::Finish() {
  // Every firing since the program started counts: one during the tests or the write is as unasked
  // as one during the show.
  const std::vector<sim::FireEntry> log = bench_.FireLog().Entries();
  int fired = 0;
  size_t unplanned = log.size();
  if (showStarted_) {
    const sim::FireAudit audit = sim::AuditFires(sim::PlannedFires(show_.Cues), log, showStartUs_, 0, 50, kLateBoundMs);
    for (const sim::FireMatch& match : audit.cues)
      if (!match.fired)
        std::fprintf(stderr, "demo: not fired: line %d, console %d\n", match.planned.line, match.planned.console);
    for (const sim::FireEntry& entry : audit.unplanned)
      std::fprintf(stderr, "demo: fired unasked: %s\n", sim::FireEntryText(entry).c_str());
    if (audit.Fired() > 0)
      Say("lateness p50 " + std::to_string(static_cast<int>(audit.LatenessPercentile(50))) + " ms, max " +
          std::to_string(static_cast<int>(audit.LatenessPercentile(100))) + " ms");
    fired = audit.Fired();
    unplanned = audit.unplanned.size();
  }
  const int planned = static_cast<int>(show_.Cues.size());
  exitCode_ = !failed_ && !shotFailed_ && fired == planned && unplanned == 0 ? 0 : 1;
  done_ = true;
  dialogTimer_.stop();
  Say("fired " + std::to_string(fired) + " of " + std::to_string(planned) + " cues, " + std::to_string(unplanned) +
          " unplanned",
      false);
  if (closeAtEnd_) {
    form_.close();
    QCoreApplication::exit(exitCode_);
  }
}

void DemoRun::Fail(const std::string& why) {
  std::fprintf(stderr, "demo: %s\n", why.c_str());
  failed_ = true;
  if (form_.IsPlaying()) Press(Qt::Key_F6);
  Finish();
}

}  // namespace fd::app
