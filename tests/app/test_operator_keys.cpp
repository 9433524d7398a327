// The operator runs the show from the keyboard: modes and their log lines, the launch mode, the
// enabling rules, start and stop on the bench, and keys that belong to a dialog.
#include <QDialog>
#include <QTimer>
#include <QtTest>

#include "app/bench_window.h"
#include "app/color_scheme.h"
#include "app/control_enabling.h"
#include "app/memory_form.h"
#include "show/operating_mode.h"

using namespace fd::app;
using namespace fd::app::testing;
using fd::show::OperatingMode;

namespace {

const QColor kLime(0x00, 0xFF, 0x00);

// Three cues on console 3 of the default bench.
const char* kScenario =
    "0:00:00.0\t3\t1\tfirst\r\n"
    "0:00:02.5\t3\t2\tsecond\r\n"
    "0:00:04.0\t3\t3\tthird\r\n";

// A console for the cues and a remote control with its stop button.
const char* kBench = "converters 1\nconsole 3 version 168 channels 8\nremote\n";

// With FIRNADESK_SCREENSHOT_DIR set, the window is saved there as a picture to look at.
void SaveScreenshot(QWidget& window, const char* name) {
  const QByteArray dir = qgetenv("FIRNADESK_SCREENSHOT_DIR");
  if (!dir.isEmpty()) window.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

}  // namespace

class OperatorKeysTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;

  void LoadScenario(TMainForm& form) {
    const QString path = dir_->filePath("show.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kScenario);
    file.close();
    QVERIFY(form.Project->LoadFromFile(path.toStdString()).Ok());
    form.FillList();
    form.UpdateControls();
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    platform_.Messages.clear();
  }
  void cleanup() { fd::support::ResetRunLog(); }

  void modeKeysMoveTheModesAndLogEachTransition() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    struct Step {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      uint8_t mode;
      uint8_t launchMode;
      const char* line;  // nullptr: no line
    };
    const Step steps[] = {
        {Qt::Key_F1, Qt::NoModifier, fd::show::omReady, 0, "Переключение режима: ГОТОВНОСТЬ"},
        {Qt::Key_F1, Qt::NoModifier, fd::show::omWait, 0, "Переключение режима: ОЖИДАНИЕ"},
        {Qt::Key_F1, Qt::ShiftModifier, fd::show::omWait, 1, "Переключение режима запуска: АВТОНОМНЫЙ"},
        {Qt::Key_F1, Qt::ShiftModifier, fd::show::omWait, 0, "Переключение режима запуска: ПРЯМОЙ"},
        {Qt::Key_F1, Qt::NoModifier, fd::show::omReady, 0, "Переключение режима: ГОТОВНОСТЬ"},
        // The launch mode action is off in ГОТОВНОСТЬ, so Shift+F1 is F1.
        {Qt::Key_F1, Qt::ShiftModifier, fd::show::omWait, 0, "Переключение режима: ОЖИДАНИЕ"},
        {Qt::Key_F1, Qt::NoModifier, fd::show::omReady, 0, "Переключение режима: ГОТОВНОСТЬ"},
        {Qt::Key_Escape, Qt::NoModifier, fd::show::omWait, 0, nullptr},
        // Nothing to start: F5 does nothing in ОЖИДАНИЕ and in ГОТОВНОСТЬ without cues.
        {Qt::Key_F5, Qt::NoModifier, fd::show::omWait, 0, nullptr},
    };
    QStringList expected;
    for (const Step& step : steps) {
      w.Press(step.key, step.modifiers);
      QCOMPARE(int(OperatingMode), int(step.mode));
      QCOMPARE(int(f.Player->LaunchMode), int(step.launchMode));
      if (step.line != nullptr) expected << QString::fromUtf8(step.line);
      QCOMPARE(LinesAfterStartup(), expected);
      // The LEDs show the mode and the launch mode.
      QCOMPARE(f.WaitLed->Fill() == kLime, step.mode == fd::show::omWait);
      QCOMPARE(f.WorkLed->Fill() == kLime, step.mode != fd::show::omWait);
      QCOMPARE(f.DirectLed->Fill() == kLime, step.launchMode == 0);
      QCOMPARE(f.AutoLed->Fill() == kLime, step.launchMode == 1);
    }
    QVERIFY(!f.IsPlaying());
  }

  void enablingRules_data() {
    QTest::addColumn<int>("test");  // T S X P as bits 8 4 2 1
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("cues");
    QTest::addColumn<int>("consoles");
    // Expected, one letter per control in the order of EnabledControls: Test Search Sound Project
    // Begin Start Stop Save Check Down Up ControlTest TestAll TestStop ControlAction Exit Color.
    QTest::addColumn<QString>("enabled");
    QTest::newRow("wait, empty") << 0 << 0 << 0 << 0 << "TTTT----------TTT";
    QTest::newRow("wait, cues, consoles") << 0 << 0 << 3 << 2 << "TTTTT--TT-----TTT";
    QTest::newRow("ready, cues, no consoles") << 0 << 1 << 3 << 0 << "----TT-----------";
    QTest::newRow("ready, empty") << 0 << 1 << 0 << 1 << "-----------------";
    QTest::newRow("playing") << 1 << 2 << 3 << 2 << "------T----------";
    QTest::newRow("searching") << 4 << 0 << 3 << 2 << "TT---------------";
    QTest::newRow("test view, one console") << 8 << 0 << 3 << 1 << "TT---------TT--T-";
    QTest::newRow("test view, two consoles") << 8 << 0 << 0 << 2 << "TT-------TTTT--T-";
    QTest::newRow("test view, testing") << 10 << 0 << 0 << 2 << "-------------T---";
    QTest::newRow("test view, searching") << 12 << 0 << 0 << 2 << "TT---------------";
    QTest::newRow("test view, empty") << 8 << 0 << 0 << 0 << "TT-------------T-";
  }
  void enablingRules() {
    QFETCH(int, test);
    QFETCH(int, mode);
    QFETCH(int, cues);
    QFETCH(int, consoles);
    QFETCH(QString, enabled);
    EnablingInputs in;
    in.TestView = test & 8;
    in.Searching = test & 4;
    in.Testing = test & 2;
    in.Playing = test & 1;
    in.Mode = static_cast<uint8_t>(mode);
    in.CueCount = cues;
    in.ConsoleCount = consoles;
    const EnabledControls e = EnablingRules(in);
    const bool got[] = {e.TestBtn,    e.SearchBtn,   e.SoundBtn,      e.ProjectBtn, e.BeginBtn,   e.StartBtn,
                        e.StopBtn,    e.SaveBtn,     e.CheckBtn,      e.DownBtn,    e.UpBtn,      e.ControlTestBtn,
                        e.TestAllBtn, e.TestStopBtn, e.ControlAction, e.ExitAction, e.ColorAction};
    QString text;
    for (bool b : got) text += b ? 'T' : '-';
    QCOMPARE(text, enabled);
  }

  void theWindowAppliesTheRules() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    LoadScenario(f);
    QVERIFY(f.BeginBtn->isEnabled());
    QVERIFY(!f.StartBtn->isEnabled());
    w.Press(Qt::Key_F1);
    QVERIFY(f.StartBtn->isEnabled());
    QVERIFY(!f.ProjectBtn->isEnabled());
    QVERIFY(!f.ExitAction->isEnabled());
    // Ctrl+X is no exit in ГОТОВНОСТЬ.
    w.Press(Qt::Key_X, Qt::ControlModifier);
    QVERIFY(f.isVisible());
  }

  void enterOnACueThenF5StartsThereAndEscStopsWithoutALine() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    LoadScenario(f);
    // The player fires through the registered console.
    QVERIFY(f.Controls->Register(3, 0) != nullptr);
    w.Press(Qt::Key_F1);
    f.List->setCurrentIndex(f.List->model()->index(1, 0));
    w.Press(Qt::Key_Return);
    QCOMPARE(f.Player->Clock, 2500);
    QCOMPARE(f.Player->NextCue, 1);
    QCOMPARE(f.TimeLabel->text(), QStringLiteral("0:00:02.5"));

    w.Press(Qt::Key_F5);
    QVERIFY(f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omLaunch));
    QVERIFY(f.StopBtn->isEnabled());
    QVERIFY(!f.IdleTimer->Enabled());
    SaveScreenshot(f, "show-running-1");
    // The show clock runs from the chosen cue: the second cue goes out on the wire, the first never.
    QTest::qWait(300);
    Manual(*f.Player->ShowTimer).Fire();
    QVERIFY2(f.TimeLabel->text() > QStringLiteral("0:00:02.7"), qPrintable(f.TimeLabel->text()));
    SaveScreenshot(f, "show-running-2");
    QTRY_COMPARE_WITH_TIMEOUT(int(w.Bench().FireLog().Entries().size()), 1, 3000);
    QCOMPARE(w.Bench().FireLog().Entries()[0].console, 3);
    QCOMPARE(w.Bench().FireLog().Entries()[0].channel, 2);
    // The window stays while the show plays.
    QVERIFY(!f.close());
    QVERIFY(f.isVisible());
    // The show position cannot be moved during the show.
    const int next = f.List->currentIndex().row();
    QCOMPARE(next, f.Player->NextCue);
    const int32_t clock = f.Player->Clock;
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Return}) {
      w.Press(key);
      QCOMPARE(f.List->currentIndex().row(), next);
      QCOMPARE(f.Player->NextCue, next);
      QCOMPARE(f.Player->Clock, clock);
    }

    w.Press(Qt::Key_Escape);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QVERIFY(f.IdleTimer->Enabled());
    const QStringList expected{"Переключение режима: ГОТОВНОСТЬ", "Переключение режима: ЗАПУСК"};
    QCOMPARE(LinesAfterStartup().mid(0, 2), expected);
    QVERIFY(!LinesAfterStartup().contains("Переключение режима: СТОП"));

    // F6 stops with its line.
    w.Press(Qt::Key_F5);
    QVERIFY(f.IsPlaying());
    w.Press(Qt::Key_F6);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(LinesAfterStartup().last(), QStringLiteral("Переключение режима: СТОП"));
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));

    // F4 rewinds.
    w.Press(Qt::Key_F4);
    QCOMPARE(f.Player->Clock, 0);
    QCOMPARE(f.TimeLabel->text(), QStringLiteral("0:00:00.0"));
    QCOMPARE(f.List->currentIndex().row(), 0);
  }

  // The remote's stop button pressed while the crew prepares: the warning and its line, and the
  // mode stays as it was; arming the console from the bus would let F5 fire. In the test view the
  // operator must still get back with Tab.
  void aStopHeardWhileNoShowRunsLeavesTheModeAsItWas() {
    enum class During { Nothing, Search, ChannelTest };
    const struct {
      const char* name;
      bool ready, testView;
      During during;
    } cases[] = {
        {"launch view, ОЖИДАНИЕ", false, false, During::Nothing},
        {"launch view, ГОТОВНОСТЬ", true, false, During::Nothing},
        {"test view", false, true, During::Nothing},
        {"test view, search", false, true, During::Search},
        {"test view, channel test", false, true, During::ChannelTest},
    };
    for (const auto& c : cases) {
      const auto dir = FreshTestDir();
      QObject scope;
      BenchWindow w(platform_, *dir, kBench);
      w.ShowActive();
      TMainForm& f = w.Form();
      QVERIFY(f.Controls->ProbeAddress(3));
      if (c.ready) w.Press(Qt::Key_F1);
      const int before = OperatingMode;
      if (c.testView) w.Press(Qt::Key_Tab);
      QCOMPARE(f.IsTestView(), c.testView);

      bool heardMidWork = c.during == During::Nothing;
      auto stopHeard = [&] {
        QVERIFY(w.Bench().RemoteStop());
        QTRY_VERIFY_WITH_TIMEOUT(w.Warning().isVisible(), 5000);
      };
      if (c.during == During::Nothing) stopHeard();
      if (c.during == During::Search) {
        w.Press(Qt::Key_F10);
        QVERIFY(f.Searching);
        stopHeard();
        heardMidWork = f.Searching;
        WhenDialogShows(&scope, [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
        w.Press(Qt::Key_F10);  // closes the banner and ends the search
        QVERIFY(!f.Searching);
      }
      if (c.during == During::ChannelTest) {
        QTimer::singleShot(0, &scope, [&] {
          stopHeard();
          heardMidWork = f.Testing;
        });
        w.Press(Qt::Key_F1);
        QVERIFY(!f.Testing);
      }
      QVERIFY2(heardMidWork, c.name);
      QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Экстренная остановка!"));
      QVERIFY2(LinesAfterStartup().contains("Экстренная внешняя остановка воспроизведения"), c.name);
      QVERIFY2(int(OperatingMode) == before, c.name);
      if (c.testView) {
        w.Press(Qt::Key_Tab);
        QVERIFY2(!f.IsTestView(), c.name);
        QVERIFY2(int(OperatingMode) == before, c.name);
      }
      fd::support::ResetRunLog();
    }
  }

  // Esc in ОЖИДАНИЕ ends a running search, as F10 does; "Ожидание" flashes while it runs.
  void escEndsASearchThatFlashesTheWaitLed() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    QObject scope;
    w.Press(Qt::Key_F10);
    QVERIFY(f.Searching);
    QList<bool> lit;
    for (int i = 0; i < 4; ++i) {
      f.ErrFlashTimerTimer();
      lit << (f.WaitLed->Fill() == kLime);
    }
    // On and off by turns.
    QVERIFY2(lit[0] != lit[1] && lit[1] != lit[2] && lit[2] != lit[3], qPrintable(QString::number(lit.count(true))));
    WhenDialogShows(&scope, [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    w.Press(Qt::Key_Escape);
    QVERIFY(!f.Searching);
    QCOMPARE(int(OperatingMode), int(fd::show::omWait));
  }

  void aKeyInADialogBelongsToTheDialog() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    LoadScenario(f);
    w.Press(Qt::Key_F1);
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    w.Warning().ShowWarning(QStringLiteral("Экстренная остановка!"));

    QDialog dialog(&f);
    int dialogResult = -1;
    QTimer::singleShot(0, &dialog, [&] {
      // Esc and Enter go to the dialog: it is cancelled, the mode and the show position stay.
      f.List->setCurrentIndex(f.List->model()->index(2, 0));
      QTest::keyClick(&dialog, Qt::Key_F1);
      QTest::keyClick(&dialog, Qt::Key_Return);
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    dialogResult = dialog.exec();
    QCOMPARE(dialogResult, int(QDialog::Rejected));
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QCOMPARE(f.Player->Clock, 0);
    // The banner still went on the first key.
    QVERIFY(!w.Warning().isVisible());
    QCOMPARE(LinesAfterStartup(), QStringList{"Переключение режима: ГОТОВНОСТЬ"});
  }

  void nothingStartsWhileTheScenarioIsWritten() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    LoadScenario(f);
    QVERIFY(f.Controls->Register(3, 0) != nullptr);
    TMemoryForm memory(platform_, &f);
    bool pressedWhileRunning = false;
    // The write lets pending events run between its steps; the operator's keys come in then.
    QTimer::singleShot(0, &f, [&] {
      pressedWhileRunning = memory.Running();
      f.activateWindow();
      QTest::keyClick(&f, Qt::Key_F1);
      QTest::keyClick(&f, Qt::Key_Tab);
      QTest::keyClick(&f, Qt::Key_X, Qt::ControlModifier);
    });
    memory.RunWrite(*f.Controls, *f.Project);
    QVERIFY(pressedWhileRunning);
    QCOMPARE(int(OperatingMode), int(fd::show::omWait));
    QVERIFY(!f.IsTestView());
    QVERIFY(f.isVisible());
    QVERIFY(!LinesAfterStartup().contains("Переключение режима: ГОТОВНОСТЬ"));
    // Once it is over, the keys work again.
    w.Press(Qt::Key_F1);
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
  }

  void ctrlF10InTheTestViewIsF10() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    w.Press(Qt::Key_Tab);
    QVERIFY(f.IsTestView());
    QVERIFY(f.TestPanel->isVisible());
    QVERIFY(!f.ColorAction->isEnabled());
    w.Press(Qt::Key_F10, Qt::ControlModifier);
    QVERIFY(f.Searching);
    QVERIFY(f.SearchBtn->isChecked());
    QVERIFY(!f.IdleTimer->Enabled());
    QCOMPARE(f.WaitLed->Label()->text(), QStringLiteral("Поиск..."));
    // F1 in the test view is no mode change.
    w.Press(Qt::Key_F1);
    QCOMPARE(int(OperatingMode), int(fd::show::omWait));
    w.Press(Qt::Key_F10);
    QVERIFY(!f.Searching);
    QVERIFY(f.IdleTimer->Enabled());
    w.Press(Qt::Key_Tab);
    QVERIFY(f.LaunchPanel->isVisible());
    QVERIFY(platform_.Messages.empty());
  }
};

QTEST_MAIN(OperatorKeysTest)
#include "test_operator_keys.moc"
