// Chase mode from the window: F7 and where it does nothing, the "Таймкод" indicator and the
// received timecode, a show armed with F5 that starts on the timecode, and what the operator is
// told when the timecode goes, comes back or jumps over cues.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "app/bench_window.h"
#include "app/color_scheme.h"
#include "app/cue_table_model.h"
#include "show/operating_mode.h"
#include "timecode/frame_generator.h"

using namespace fd::app;
using namespace fd::app::testing;
using fd::show::OperatingMode;
using fd::timecode::FrameRate;
using fd::timecode::Timecode;

namespace {

// Three cues on console 3 of the bench.
const char* kScenario =
    "0:00:00.0\t3\t1\tfirst\r\n"
    "0:00:02.5\t3\t2\tsecond\r\n"
    "0:00:04.0\t3\t3\tthird\r\n";
const char* kBench = "converters 1\nconsole 3 version 168 channels 8\nremote\n";

// A source the test hands frames to, as a decoder would.
class TestSource : public fd::timecode::TimecodeSource {
 public:
  bool Start() override { return true; }
  void Stop() override {}
  using TimecodeSource::Deliver;
};

// Timecode running in real time from a label: the frames up to now are heard on each Feed, the
// first ones back-dated so that a whole run is there at once.
class Signal {
 public:
  Signal(fd::platform::Clock& clock, FrameRate rate, Timecode start, int framesBefore)
      : clock_(clock), generator_(Settings(clock, rate, start, framesBefore)) {}
  void Feed(TestSource& source) { source.Deliver(generator_.Until(clock_.TickCount() + 0.5)); }

 private:
  static fd::timecode::FrameGenerator::Signal Settings(fd::platform::Clock& clock, FrameRate rate, Timecode start,
                                                       int framesBefore) {
    fd::timecode::FrameGenerator::Signal s;
    s.rate = rate;
    s.start = start;
    s.startHeardMs = clock.TickCount() - framesBefore * fd::timecode::FrameDurationMs(rate);
    return s;
  }
  fd::platform::Clock& clock_;
  fd::timecode::FrameGenerator generator_;
};

QStringList LinesStartingWith(const QString& prefix) {
  QStringList found;
  for (const QString& line : LinesAfterStartup())
    if (line.startsWith(prefix)) found << line;
  return found;
}

}  // namespace

class TimecodeWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;
  TestSource* source_ = nullptr;  // the source of the chase mode on now

  // The window opens the test's source instead of a capture device.
  void UseTestSource(TMainForm& f) {
    f.OpenChaseSource = [this](const std::string& text, const Timecode& offset, std::string&) {
      auto source = std::make_unique<TestSource>();
      source_ = source.get();
      return std::make_unique<fd::timecode::ChaseInput>(std::move(source), text, offset);
    };
  }

  void LoadScenario(TMainForm& f) {
    const QString path = WriteFile(*dir_, "show.txt", kScenario);
    QVERIFY(f.Project->LoadFromFile(path.toStdString()).Ok());
    f.FillList();
    f.UpdateControls();
    QVERIFY(f.Controls->Register(3, 0) != nullptr);
  }

  // Feeds the signal and lets the window hear it.
  void Pump(TMainForm& f, Signal& signal) {
    signal.Feed(*source_);
    Manual(*f.ChasePumpTimer).Fire();
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    platform_.Messages.clear();
    source_ = nullptr;
  }
  void cleanup() {
    fd::support::ResetRunLog();
    ColorScheme = 0;
  }

  void f7TogglesChaseModeOnlyInWaitingInTheLaunchView() {
    struct Row {
      const char* name;
      std::function<void(BenchWindow&)> before;
      bool toggles;
    };
    const Row rows[] = {
        {"launch view, ОЖИДАНИЕ", [](BenchWindow&) {}, true},
        {"test view", [](BenchWindow& w) { w.Press(Qt::Key_Tab); }, false},
        {"ГОТОВНОСТЬ", [](BenchWindow& w) { w.Press(Qt::Key_F1); }, false},
        {"during a search", [](BenchWindow& w) { w.Press(Qt::Key_F10); }, false},
    };
    for (const Row& row : rows) {
      fd::support::ResetRunLog();
      BenchWindow w(platform_, *dir_, kBench);
      w.ShowActive();
      TMainForm& f = w.Form();
      UseTestSource(f);
      row.before(w);
      bool handled = false;
      f.ApplicationEventsShortCut(Qt::Key_F7, handled);
      QVERIFY2(handled == row.toggles, row.name);
      QVERIFY2(f.Chasing() == row.toggles, row.name);
      QVERIFY2(f.ReceivedTimecodeLabel->isVisible() == row.toggles, row.name);
      if (!row.toggles) {
        QVERIFY2(LinesStartingWith("Слежение за таймкодом").isEmpty(), row.name);
        continue;
      }
      QVERIFY(f.ChasePumpTimer->Enabled());
      QCOMPARE(f.Player->Chase(), &f.Chase->Chase());
      handled = false;
      f.ApplicationEventsShortCut(Qt::Key_F7, handled);
      QVERIFY(handled);
      QVERIFY(!f.Chasing());
      QVERIFY(f.Player->Chase() == nullptr);
      QVERIFY(!f.ChasePumpTimer->Enabled());
      QVERIFY(!f.ReceivedTimecodeLabel->isVisible());
      const QStringList expected{"Слежение за таймкодом: включено (capture, смещение 00:00:00:00)",
                                 "Слежение за таймкодом: выключено"};
      QCOMPARE(LinesStartingWith("Слежение за таймкодом"), expected);
    }
  }

  void indicatorAndReceivedTimecodeFollowTheChase() {
    struct Row {
      int scheme;
      FrameRate rate;
      const char* locked;
      const char* received;
    };
    const Row rows[] = {
        {0, FrameRate::Fps25, "Таймкод 25", "01:00:05:11"},
        {1, FrameRate::Fps2997Drop, "Таймкод 29.97df", "01:00:05;11"},
        {0, FrameRate::Fps24, "Таймкод 24", "01:00:05:11"},
        {1, FrameRate::Fps30, "Таймкод 30", "01:00:05:11"},
    };
    for (const Row& row : rows) {
      const QByteArray name = QByteArray(row.locked) + " scheme " + QByteArray::number(row.scheme);
      BenchWindow w(platform_, *dir_, kBench);
      w.ShowActive();
      TMainForm& f = w.Form();
      ColorScheme = row.scheme;
      f.ApplyColorScheme();
      UseTestSource(f);
      LedShape* led = f.TimecodeLed;
      QCOMPARE(led->objectName(), QStringLiteral("TimecodeLed"));
      QCOMPARE(led->size(), f.RS485->size());
      QCOMPARE(led->Label()->font(), f.RS485->Label()->font());
      QCOMPARE(led->Label()->text(), QStringLiteral("Таймкод"));
      QCOMPARE(led->Fill(), ColorBack);

      w.Press(Qt::Key_F7);
      QVERIFY2(f.Chasing(), name);
      QCOMPARE(led->Label()->text(), QStringLiteral("Таймкод: поиск"));
      QCOMPARE(f.ReceivedTimecodeLabel->text(), QStringLiteral("--:--:--:--"));
      // Searching flashes with the window's flash timer.
      Manual(*f.ErrFlashTimer).Fire();
      const QColor first = led->Fill();
      Manual(*f.ErrFlashTimer).Fire();
      QVERIFY2(first != led->Fill(), name);
      QVERIFY2((first == ColorOn && led->Fill() == ColorBack) || (first == ColorBack && led->Fill() == ColorOn), name);

      Signal signal(platform_.GetClock(), row.rate, Timecode{1, 0, 5, 0}, 11);
      Pump(f, signal);
      QCOMPARE(led->Label()->text(), QString::fromUtf8(row.locked));
      QCOMPARE(led->Fill(), ColorOn);
      QCOMPARE(led->LabelColor(), ColorOnText);
      QCOMPARE(f.ReceivedTimecodeLabel->text(), QString::fromUtf8(row.received));

      // Silence: the chase loses the timecode within three frames.
      QTest::qWait(250);
      Manual(*f.ChasePumpTimer).Fire();
      QCOMPARE(led->Label()->text(), QStringLiteral("Таймкод потерян"));
      QCOMPARE(led->Fill(), ColorAlarm);
      QCOMPARE(f.ReceivedTimecodeLabel->text(), QString::fromUtf8(row.received));
      // Lost before any show: no banner, no log line.
      QVERIFY(!w.Warning().isVisible());
      QVERIFY(LinesStartingWith("Таймкод потерян").isEmpty());

      w.Press(Qt::Key_F7);
      QCOMPARE(led->Label()->text(), QStringLiteral("Таймкод"));
      QCOMPARE(led->Fill(), ColorBack);
      QCOMPARE(led->LabelColor(), ColorOffText);
      QVERIFY(!f.ReceivedTimecodeLabel->isVisible());
    }
  }

  void f5ArmsAndTheTimecodeStartsTheShowAtItsPosition() {
    const QString journalDir = dir_->filePath("journal");
    BenchWindow w(platform_, *dir_, kBench, [&](CommandLineOptions& o) {
      o.TimecodeSource = "desk";
      o.TimecodeOffset = Timecode{1, 0, 0, 0};
      o.JournalDir = journalDir.toStdString();
    });
    w.ShowActive();
    TMainForm& f = w.Form();
    UseTestSource(f);
    LoadScenario(f);
    w.Press(Qt::Key_F7);
    QVERIFY(f.Chasing());
    w.Press(Qt::Key_F1);
    f.List->setCurrentIndex(f.List->model()->index(1, 0));
    w.Press(Qt::Key_Return);
    QCOMPARE(f.Player->Clock, 2500);

    w.Press(Qt::Key_F5);
    QVERIFY(f.Player->ChaseArmed());
    QCOMPARE(f.Player->ArmedStart(), 2500);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omLaunch));
    QVERIFY(f.StopBtn->isEnabled());
    QVERIFY(!f.StartBtn->isEnabled());
    QVERIFY(!f.TestBtn->isEnabled());
    QVERIFY(!f.IdleTimer->Enabled());
    // F7 never works while armed.
    bool handled = false;
    f.ApplicationEventsShortCut(Qt::Key_F7, handled);
    QVERIFY(!handled);
    QVERIFY(f.Chasing());
    // The journal names the timecode it chases.
    QVERIFY(f.ShowJournal != nullptr);
    {
      QFile file(QString::fromStdString(f.ShowJournal->Path()));
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QJsonObject header = QJsonDocument::fromJson(file.readLine()).object();
      QCOMPARE(header.value("timecode").toObject().value("source").toString(), QStringLiteral("desk"));
      QCOMPARE(header.value("timecode").toObject().value("offset").toString(), QStringLiteral("01:00:00:00"));
    }

    // The timecode comes in a second before the position; nothing fires until it gets there.
    Signal signal(platform_.GetClock(), FrameRate::Fps25, Timecode{1, 0, 1, 0}, 11);
    QElapsedTimer waited;
    waited.start();
    while (!f.IsPlaying() && waited.elapsed() < 4000) {
      signal.Feed(*source_);
      Manual(*f.Player->ArmTimer).Fire();
      if (!f.IsPlaying()) {
        QVERIFY(f.Player->Clock < 2500);
        QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{0});
      }
      QTest::qWait(10);
    }
    QVERIFY(f.IsPlaying());
    QVERIFY(!f.Player->ChaseArmed());
    QCOMPARE(int(OperatingMode), int(fd::show::omLaunch));
    // F7 never works while the show plays.
    handled = false;
    f.ApplicationEventsShortCut(Qt::Key_F7, handled);
    QVERIFY(!handled);
    QVERIFY(f.Chasing());

    // The second cue goes out once, at its time on the timecode.
    waited.restart();
    while (w.Bench().FireLog().Entries().empty() && waited.elapsed() < 3000) {
      signal.Feed(*source_);
      Manual(*f.Player->ShowTimer).Fire();
      Manual(*f.Player->WakeTimer).Fire();
      QTest::qWait(5);
    }
    for (int i = 0; i < 5; ++i) {
      signal.Feed(*source_);
      Manual(*f.Player->ShowTimer).Fire();
      QTest::qWait(5);
    }
    QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{1});
    QCOMPARE(w.Bench().FireLog().Entries()[0].console, 3);
    QCOMPARE(w.Bench().FireLog().Entries()[0].channel, 2);
    const std::string journalPath = f.ShowJournal->Path();
    w.Press(Qt::Key_F6);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QFile file(QString::fromStdString(journalPath));
    QVERIFY(file.open(QIODevice::ReadOnly));
    int cues = 0;
    while (!file.atEnd()) {
      const QJsonObject event = QJsonDocument::fromJson(file.readLine()).object();
      if (event.value("event").toString() != QStringLiteral("cue_sent")) continue;
      ++cues;
      QCOMPARE(event.value("planned_ms").toInt(), 2500);
      const int showMs = event.value("show_ms").toInt();
      QVERIFY2(showMs >= 2500 && showMs < 2560, qPrintable(QString::number(showMs)));
    }
    QCOMPARE(cues, 1);
    const QStringList modes = LinesStartingWith("Переключение режима");
    QCOMPARE(modes.mid(0, 3),
             (QStringList{"Переключение режима: ГОТОВНОСТЬ", "Переключение режима: ЗАПУСК (ожидание таймкода)",
                          "Переключение режима: СТОП"}));
  }

  void f6WhileArmedDisarmsAndTheTimecodeStartsNothing() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    UseTestSource(f);
    LoadScenario(f);
    w.Press(Qt::Key_F7);
    w.Press(Qt::Key_F1);
    w.Press(Qt::Key_F5);
    QVERIFY(f.Player->ChaseArmed());
    w.Press(Qt::Key_F6);
    QVERIFY(!f.Player->ChaseArmed());
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QVERIFY(!f.StopBtn->isEnabled());
    QVERIFY(f.IdleTimer->Enabled());
    // The timecode runs past every cue: nothing starts, nothing fires.
    Signal signal(platform_.GetClock(), FrameRate::Fps25, Timecode{0, 0, 0, 0}, 11);
    for (int i = 0; i < 20; ++i) {
      Pump(f, signal);
      Manual(*f.Player->ArmTimer).Fire();
      Manual(*f.Player->ShowTimer).Fire();
      QTest::qWait(10);
    }
    QCOMPARE(f.Chase->Chase().State(), fd::timecode::ChaseState::Locked);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{0});
  }

  void dropoutReturnJumpAndSkippedCuesAreToldOnce() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    UseTestSource(f);
    LoadScenario(f);
    w.Press(Qt::Key_F7);
    w.Press(Qt::Key_F1);
    w.Press(Qt::Key_F5);  // armed at 0:00:00.0
    // The timecode is already past the first cue when it locks: the show starts where it is.
    Signal signal(platform_.GetClock(), FrameRate::Fps25, Timecode{0, 0, 1, 0}, 11);
    signal.Feed(*source_);
    Manual(*f.Player->ArmTimer).Fire();
    QVERIFY(f.IsPlaying());
    QCOMPARE(LinesStartingWith("Пропущена команда"),
             QStringList{"Пропущена команда: строка 1, 0:00:00.0 (до начала по таймкоду)"});
    QVERIFY(f.ListModel->IsSkipped(0));
    QCOMPARE(f.ListModel->data(f.ListModel->index(0, 1), Qt::BackgroundRole).value<QColor>(),
             CueTableModel::SkippedBackground());
    QVERIFY(!f.ListModel->IsSkipped(1));
    QVERIFY(!f.ListModel->data(f.ListModel->index(1, 1), Qt::BackgroundRole).isValid());

    // Silence: one warning and one line, however many ticks pass.
    QTest::qWait(200);
    for (int i = 0; i < 4; ++i) {
      Manual(*f.Player->ShowTimer).Fire();
      QTest::qWait(10);
    }
    QVERIFY(w.Warning().isVisible());
    QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Таймкод потерян!"));
    const QStringList lost = LinesStartingWith("Таймкод потерян");
    QCOMPARE(lost.size(), 1);
    QVERIFY2(
        QRegularExpression(R"(^Таймкод потерян на 0:00:01\.\d, шоу идёт по своим часам$)").match(lost[0]).hasMatch(),
        qPrintable(lost[0]));
    QCOMPARE(f.TimecodeLed->Label()->text(), QStringLiteral("Таймкод потерян"));
    QVERIFY(f.IsPlaying());

    // It comes back eight seconds on: taken back, then a jump over the two cues left.
    Signal later(platform_.GetClock(), FrameRate::Fps25, Timecode{0, 0, 10, 0}, 11);
    later.Feed(*source_);
    Manual(*f.Player->ShowTimer).Fire();
    const QStringList returned = LinesStartingWith("Таймкод снова принят");
    QCOMPARE(returned.size(), 1);
    QVERIFY2(QRegularExpression(R"(^Таймкод снова принят на \d:\d\d:\d\d\.\d$)").match(returned[0]).hasMatch(),
             qPrintable(returned[0]));
    QVERIFY(!w.Warning().isVisible());
    const QStringList jumps = LinesStartingWith("Скачок таймкода");
    QCOMPARE(jumps.size(), 1);
    QVERIFY2(QRegularExpression(R"(^Скачок таймкода: 0:00:01\.\d -> 0:00:10\.\d$)").match(jumps[0]).hasMatch(),
             qPrintable(jumps[0]));
    QCOMPARE(LinesStartingWith("Пропущена команда"),
             (QStringList{"Пропущена команда: строка 1, 0:00:00.0 (до начала по таймкоду)",
                          "Пропущена команда: строка 2, 0:00:02.5 (скачок таймкода)",
                          "Пропущена команда: строка 3, 0:00:04.0 (скачок таймкода)"}));
    QVERIFY(f.ListModel->IsSkipped(1) && f.ListModel->IsSkipped(2));
    QCOMPARE(f.ListModel->data(f.ListModel->index(2, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("Пропущена: скачок таймкода"));
    for (int i = 0; i < 5; ++i) {
      later.Feed(*source_);
      Manual(*f.Player->ShowTimer).Fire();
      QTest::qWait(10);
    }
    QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{0});
  }

  void timecodeOnTheCommandLine() {
    // A source that cannot be opened: the operator is told, chase mode stays off.
    const std::string missing = dir_->filePath("missing.wav").toStdString();
    {
      BenchWindow w(platform_, *dir_, kBench, [&](CommandLineOptions& o) { o.TimecodeSource = missing; });
      w.ShowActive();
      TMainForm& f = w.Form();
      f.OpenStartupFiles();
      QVERIFY(!f.Chasing());
      QCOMPARE(platform_.Messages.size(), size_t{1});
      const QString text = QString::fromStdString(platform_.Messages[0].Text);
      QVERIFY2(text.startsWith(QStringLiteral("Источник таймкода не открыт: ")) &&
                   text.contains(QString::fromStdString(missing)),
               qPrintable(text));
      QCOMPARE(platform_.Messages[0].Caption, std::string("Ошибка"));
      QCOMPARE(LinesStartingWith("Источник таймкода"), QStringList{text});
      QCOMPARE(f.TimecodeLed->Label()->text(), QStringLiteral("Таймкод"));
    }
    platform_.Messages.clear();
    // A good one starts the window in chase mode.
    {
      BenchWindow w(platform_, *dir_, kBench, [&](CommandLineOptions& o) { o.TimecodeSource = "desk"; });
      w.ShowActive();
      TMainForm& f = w.Form();
      UseTestSource(f);
      f.OpenStartupFiles();
      QVERIFY(f.Chasing());
      QVERIFY(platform_.Messages.empty());
      QCOMPARE(f.TimecodeLed->Label()->text(), QStringLiteral("Таймкод: поиск"));
    }

    struct Row {
      std::vector<std::string> args;
      const char* error;  // nullptr: accepted
    };
    const Row rows[] = {
        {{"--timecode", "ltc.wav", "--timecode-offset", "01:00:00:00"}, nullptr},
        {{"--timecode-offset", "25:00:00:00"}, "--timecode-offset: not a timecode HH:MM:SS:FF: 25:00:00:00"},
        {{"--timecode", "capture", "--timecode-offset=1:00"}, "--timecode-offset: not a timecode HH:MM:SS:FF: 1:00"},
        {{"--timecode", "capture:"}, "--timecode: "},
        {{"--demo", "--timecode", "capture"}, "--demo runs on its own clock: no --timecode or --timecode-offset"},
    };
    for (const Row& row : rows) {
      const CommandLineResult result = ParseCommandLine(row.args);
      if (row.error == nullptr) {
        QVERIFY2(result.Ok, result.Error.c_str());
        QCOMPARE(result.Options.TimecodeSource, std::string("ltc.wav"));
        QVERIFY(result.Options.TimecodeOffset == (Timecode{1, 0, 0, 0}));
        continue;
      }
      QVERIFY(!result.Ok);
      QVERIFY2(result.Error.rfind(row.error, 0) == 0, result.Error.c_str());
    }
    QVERIFY(UsageText("firnadesk").find("--timecode SOURCE") != std::string::npos);
    QVERIFY(UsageText("firnadesk").find("--timecode-offset HH:MM:SS:FF") != std::string::npos);
  }
};

QTEST_MAIN(TimecodeWindowTest)
#include "test_timecode_window.moc"
