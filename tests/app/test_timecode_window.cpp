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
using fd::timecode::FrameGenerator;
using fd::timecode::FrameRate;
using fd::timecode::Timecode;

namespace {

// Three cues on console 3 of the bench.
const char* kScenario = "0:00:00.0\t3\t1\tfirst\r\n0:00:02.5\t3\t2\tsecond\r\n0:00:04.0\t3\t3\tthird\r\n";
const char* kBench = "converters 1\nconsole 3 version 168 channels 8\nremote\n";

// A source the test hands frames to, as a decoder would.
class TestSource : public fd::timecode::TimecodeSource {
 public:
  bool Start() override { return true; }
  void Stop() override {}
  using TimecodeSource::Deliver;
};

QStringList LinesStartingWith(const QString& prefix) {
  QStringList found;
  for (const QString& line : LinesAfterStartup())
    if (line.startsWith(prefix)) found << line;
  return found;
}

// Exactly one run log line starts with `prefix`, and `pattern` matches it.
void ExpectOneLine(const QString& prefix, const QString& pattern) {
  const QStringList lines = LinesStartingWith(prefix);
  QCOMPARE(lines.size(), 1);
  QVERIFY2(QRegularExpression(pattern).match(lines[0]).hasMatch(), qPrintable(lines[0]));
}

// F7 as the operator presses it: true when the window ignored it and still chases.
bool F7Ignored(TMainForm& f) {
  bool handled = false;
  f.ApplicationEventsShortCut(Qt::Key_F7, handled);
  return !handled && f.Chasing();
}

}  // namespace

class TimecodeWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;
  TestSource* source_ = nullptr;  // the source of the chase mode on now

  // Shows the window, which opens the test's source instead of a capture device.
  TMainForm& Open(BenchWindow& w) {
    w.ShowActive();
    w.Form().OpenChaseSource = [this](const std::string& text, const Timecode& offset, std::string&) {
      auto source = std::make_unique<TestSource>();
      source_ = source.get();
      return std::make_unique<fd::timecode::ChaseInput>(std::move(source), text, offset);
    };
    return w.Form();
  }

  // The scenario loaded, chase mode on, ГОТОВНОСТЬ, the position on cue `row`, F5.
  void ArmAt(BenchWindow& w, int row) {
    TMainForm& f = w.Form();
    QVERIFY(f.Project->LoadFromFile(WriteFile(*dir_, "show.txt", kScenario).toStdString()).Ok());
    f.FillList();
    f.UpdateControls();
    QVERIFY(f.Controls->Register(3, 0) != nullptr);
    w.Press(Qt::Key_F7);
    QVERIFY(f.Chasing());
    w.Press(Qt::Key_F1);
    if (row > 0) {
      f.List->setCurrentIndex(f.List->model()->index(row, 0));
      w.Press(Qt::Key_Return);
    }
    w.Press(Qt::Key_F5);
    QVERIFY(f.Player->ChaseArmed());
  }

  // Timecode running in real time from `start`, eleven frames back-dated so that a whole run is there.
  FrameGenerator TimecodeFrom(FrameRate rate, Timecode start) {
    FrameGenerator::Signal s;
    s.rate = rate;
    s.start = start;
    s.startHeardMs = platform_.GetClock().TickCount() - 11 * fd::timecode::FrameDurationMs(rate);
    return FrameGenerator(s);
  }
  void Feed(FrameGenerator& signal) { source_->Deliver(signal.Until(platform_.GetClock().TickCount() + 0.5)); }

  // `times` rounds of: the frames heard so far (without a signal: silence), a tick of each timer,
  // waitMs of real time.
  template <typename... Timers>
  void Run(int times, FrameGenerator* signal, int waitMs, const Timers&... timers) {
    for (int i = 0; i < times; ++i) {
      if (signal != nullptr) Feed(*signal);
      (Manual(*timers).Fire(), ...);
      QTest::qWait(waitMs);
    }
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
      TMainForm& f = Open(w);
      row.before(w);
      // Twice: on and off again where it works, nothing at all where it does not.
      for (const bool first : {true, false}) {
        bool handled = false;
        f.ApplicationEventsShortCut(Qt::Key_F7, handled);
        const bool chasing = row.toggles && first;
        QVERIFY2(handled == row.toggles, row.name);
        QVERIFY2(f.Chasing() == chasing, row.name);
        QVERIFY2(f.ReceivedTimecodeLabel->isVisible() == chasing, row.name);
        if (!row.toggles) continue;
        QVERIFY2(f.ChasePumpTimer->Enabled() == chasing, row.name);
        QVERIFY2(f.Player->Chase() == (chasing ? &f.Chase->Chase() : nullptr), row.name);
      }
      const QStringList expected = row.toggles
                                       ? QStringList{"Слежение за таймкодом: включено (capture, смещение 00:00:00:00)",
                                                     "Слежение за таймкодом: выключено"}
                                       : QStringList{};
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
      TMainForm& f = Open(w);
      ColorScheme = row.scheme;
      f.ApplyColorScheme();
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
      QVERIFY2((first == ColorOn && led->Fill() == ColorBack) || (first == ColorBack && led->Fill() == ColorOn), name);

      FrameGenerator signal = TimecodeFrom(row.rate, Timecode{1, 0, 5, 0});
      Run(1, &signal, 0, f.ChasePumpTimer);
      QCOMPARE(led->Label()->text(), QString::fromUtf8(row.locked));
      QCOMPARE(led->Fill(), ColorOn);
      QCOMPARE(led->LabelColor(), ColorOnText);
      QCOMPARE(f.ReceivedTimecodeLabel->text(), QString::fromUtf8(row.received));

      // Silence: the chase loses the timecode within three frames; before any show, no banner, no line.
      QTest::qWait(250);
      Manual(*f.ChasePumpTimer).Fire();
      QCOMPARE(led->Label()->text(), QStringLiteral("Таймкод потерян"));
      QCOMPARE(led->Fill(), ColorAlarm);
      QCOMPARE(f.ReceivedTimecodeLabel->text(), QString::fromUtf8(row.received));
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
    BenchWindow w(platform_, *dir_, kBench, [&](CommandLineOptions& o) {
      o.TimecodeSource = "desk";
      o.TimecodeOffset = Timecode{1, 0, 0, 0};
      o.JournalDir = dir_->filePath("journal").toStdString();
    });
    TMainForm& f = Open(w);
    ArmAt(w, 1);
    QCOMPARE(f.Player->ArmedStart(), 2500);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omLaunch));
    QVERIFY(f.StopBtn->isEnabled() && !f.StartBtn->isEnabled() && !f.TestBtn->isEnabled());
    QVERIFY(!f.IdleTimer->Enabled());
    QVERIFY(F7Ignored(f));
    QVERIFY(f.ShowJournal != nullptr);
    const QString journalPath = QString::fromStdString(f.ShowJournal->Path());

    // The timecode comes in a second before the position; nothing fires until it gets there.
    FrameGenerator signal = TimecodeFrom(FrameRate::Fps25, Timecode{1, 0, 1, 0});
    QElapsedTimer waited;
    waited.start();
    while (!f.IsPlaying() && waited.elapsed() < 4000) {
      Run(1, &signal, 10, f.Player->ArmTimer);
      if (f.IsPlaying()) break;
      QVERIFY(f.Player->Clock < 2500);
      QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{0});
    }
    QVERIFY(f.IsPlaying());
    QVERIFY(!f.Player->ChaseArmed());
    QCOMPARE(int(OperatingMode), int(fd::show::omLaunch));
    QVERIFY(F7Ignored(f));

    // The second cue goes out once, at its time on the timecode.
    waited.restart();
    while (w.Bench().FireLog().Entries().empty() && waited.elapsed() < 3000)
      Run(1, &signal, 5, f.Player->ShowTimer, f.Player->WakeTimer);
    Run(5, &signal, 5, f.Player->ShowTimer);
    const auto fired = w.Bench().FireLog().Entries();
    QCOMPARE(fired.size(), size_t{1});
    QCOMPARE(fired[0].console, 3);
    QCOMPARE(fired[0].channel, 2);
    w.Press(Qt::Key_F6);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QCOMPARE(LinesStartingWith("Переключение режима").mid(0, 3),
             (QStringList{"Переключение режима: ГОТОВНОСТЬ", "Переключение режима: ЗАПУСК (ожидание таймкода)",
                          "Переключение режима: СТОП"}));

    // The journal names the timecode it chases and holds the cue, sent on time.
    QFile file(journalPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject timecode = QJsonDocument::fromJson(file.readLine()).object().value("timecode").toObject();
    QCOMPARE(timecode.value("source").toString(), QStringLiteral("desk"));
    QCOMPARE(timecode.value("offset").toString(), QStringLiteral("01:00:00:00"));
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
  }

  void f6WhileArmedDisarmsAndTheTimecodeStartsNothing() {
    BenchWindow w(platform_, *dir_, kBench);
    TMainForm& f = Open(w);
    ArmAt(w, 0);
    w.Press(Qt::Key_F6);
    QVERIFY(!f.Player->ChaseArmed());
    QCOMPARE(int(OperatingMode), int(fd::show::omReady));
    QVERIFY(!f.StopBtn->isEnabled());
    QVERIFY(f.IdleTimer->Enabled());
    // The timecode runs past every cue: nothing starts, nothing fires.
    FrameGenerator signal = TimecodeFrom(FrameRate::Fps25, Timecode{0, 0, 0, 0});
    Run(20, &signal, 10, f.ChasePumpTimer, f.Player->ArmTimer, f.Player->ShowTimer);
    QCOMPARE(f.Chase->Chase().State(), fd::timecode::ChaseState::Locked);
    QVERIFY(!f.IsPlaying());
    QCOMPARE(w.Bench().FireLog().Entries().size(), size_t{0});
  }

  void dropoutReturnJumpAndSkippedCuesAreToldOnce() {
    BenchWindow w(platform_, *dir_, kBench);
    TMainForm& f = Open(w);
    ArmAt(w, 0);
    // The timecode is already past the first cue when it locks: the show starts where it is.
    FrameGenerator signal = TimecodeFrom(FrameRate::Fps25, Timecode{0, 0, 1, 0});
    Feed(signal);
    Manual(*f.Player->ArmTimer).Fire();
    QVERIFY(f.IsPlaying());
    const QString skippedFirst = "Пропущена команда: строка 1, 0:00:00.0 (до начала по таймкоду)";
    QCOMPARE(LinesStartingWith("Пропущена команда"), QStringList{skippedFirst});
    QVERIFY(f.ListModel->IsSkipped(0));
    QCOMPARE(f.ListModel->data(f.ListModel->index(0, 1), Qt::BackgroundRole).value<QColor>(),
             CueTableModel::SkippedBackground());
    QVERIFY(!f.ListModel->IsSkipped(1));
    QVERIFY(!f.ListModel->data(f.ListModel->index(1, 1), Qt::BackgroundRole).isValid());

    // Silence: one warning and one line, however many ticks pass.
    QTest::qWait(200);
    Run(4, nullptr, 10, f.Player->ShowTimer);
    QVERIFY(w.Warning().isVisible());
    QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Таймкод потерян!"));
    ExpectOneLine("Таймкод потерян", R"(^Таймкод потерян на 0:00:01\.\d, шоу идёт по своим часам$)");
    QCOMPARE(f.TimecodeLed->Label()->text(), QStringLiteral("Таймкод потерян"));
    QVERIFY(f.IsPlaying());

    // It comes back eight seconds on: taken back, then a jump over the two cues left.
    FrameGenerator later = TimecodeFrom(FrameRate::Fps25, Timecode{0, 0, 10, 0});
    Feed(later);
    Manual(*f.Player->ShowTimer).Fire();
    ExpectOneLine("Таймкод снова принят", R"(^Таймкод снова принят на \d:\d\d:\d\d\.\d$)");
    QVERIFY(!w.Warning().isVisible());
    ExpectOneLine("Скачок таймкода", R"(^Скачок таймкода: 0:00:01\.\d -> 0:00:10\.\d$)");
    QCOMPARE(LinesStartingWith("Пропущена команда"),
             (QStringList{skippedFirst, "Пропущена команда: строка 2, 0:00:02.5 (скачок таймкода)",
                          "Пропущена команда: строка 3, 0:00:04.0 (скачок таймкода)"}));
    QVERIFY(f.ListModel->IsSkipped(1) && f.ListModel->IsSkipped(2));
    QCOMPARE(f.ListModel->data(f.ListModel->index(2, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("Пропущена: скачок таймкода"));
    Run(5, &later, 10, f.Player->ShowTimer);
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
      TMainForm& f = Open(w);
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
      QVERIFY2(result.Ok == (row.error == nullptr), result.Error.c_str());
      if (row.error != nullptr) {
        QVERIFY2(result.Error.rfind(row.error, 0) == 0, result.Error.c_str());
        continue;
      }
      QCOMPARE(result.Options.TimecodeSource, std::string("ltc.wav"));
      QVERIFY(result.Options.TimecodeOffset == (Timecode{1, 0, 0, 0}));
    }
    QVERIFY(UsageText("firnadesk").find("--timecode SOURCE") != std::string::npos);
    QVERIFY(UsageText("firnadesk").find("--timecode-offset HH:MM:SS:FF") != std::string::npos);
  }
};

QTEST_MAIN(TimecodeWindowTest)
#include "test_timecode_window.moc"
