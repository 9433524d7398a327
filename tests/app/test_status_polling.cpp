// Polling on the bench: console rows and radio indicators follow what the devices answer, the
// pending states flash, and a converter unplugged and plugged in again is shown and logged once.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QtTest>

#include "app/bench_window.h"
#include "app/color_scheme.h"
#include "app/console_row.h"
#include "devices/common_control.h"
#include "show/operating_mode.h"

using namespace fd::app;
using namespace fd::app::testing;

namespace {

const QColor kRed(0xFF, 0x00, 0x00);
const QColor kLime(0x00, 0xFF, 0x00);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kWhite(0xFF, 0xFF, 0xFF);

const char* kBench =
    "converters 1\n"
    "remote\n"
    "console 3 version 168 channels 8 voltage 24.0\n"
    "console 7 version 151 channels 16 voltage 5.5 status 1\n"
    "radio 241\n";

QColor RowBack(const QLabel* row) { return row->palette().color(QPalette::Window); }
QColor RowText(const QLabel* row) { return row->palette().color(QPalette::WindowText); }

}  // namespace

class StatusPollingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;

  static void Ticks(TMainForm& f, int n) {
    for (int i = 0; i < n; ++i) Manual(*f.IdleTimer).Fire();
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
  }
  void cleanup() { fd::support::ResetRunLog(); }

  void rowTexts_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("volts");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("row");
    QTest::newRow("template") << -1 << 0 << 0.0 << 0 << ","
                              << "   .     ??.??в      0%";
    QTest::newRow("decimal point") << 3 << 8 << 24.0 << 100 << "."
                                   << "  3. 8   24.00в    100%";
    QTest::newRow("console 3") << 3 << 8 << 24.0 << 100 << ","
                               << "  3. 8   24,00в    100%";
    QTest::newRow("console 199") << 199 << 512 << 5.5 << 7 << ","
                                 << "199. 512  5,50в      7%";
    QTest::newRow("rounded volts") << 12 << 16 << 12.345 << 50 << ","
                                   << " 12. 16  12,35в     50%";
    // Too long for their columns: clipped at the left edge, the other columns stay put.
    QTest::newRow("clipped") << 12345 << 16 << 123456.0 << 12345 << ","
                             << "345. 123456,00в  12345%";
  }
  void rowTexts() {
    QFETCH(int, id);
    QFETCH(int, channels);
    QFETCH(double, volts);
    QFETCH(int, quality);
    QFETCH(QString, row);
    QFETCH(QString, point);
    const QString text = id < 0 ? ConsoleRowTemplate() : NewConsoleRow(id, channels, volts, quality, point.front());
    QCOMPARE(text, row);
    QCOMPARE(int(text.size()), kConsoleRowLength);
  }

  void timeDisplay_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0 << "0:00:00.0";
    QTest::newRow("83456") << 83456 << "0:01:23.4";
    QTest::newRow("last tenth of an hour") << 3599999 << "0:59:59.9";
    QTest::newRow("one hour") << 3600000 << "1:00:00.0";
    QTest::newRow("past a day") << 90000000 << "25:00:00.0";
    QTest::newRow("before the start") << -1500 << "-0:00:01.5";
  }
  void timeDisplay() {
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(ShowTimeText(ms), text);
  }

  void anEmptyRegistryOnlyWrapsTheIndex() {
    BenchWindow w(platform_, *dir_, kBench);
    TMainForm& f = w.Form();
    f.PollIndex = 5;
    f.IdleTimerTimer();
    QCOMPARE(f.PollIndex, 0);
    QCOMPARE(f.RowCount, 0);
  }

  void rowsAndRadioIndicatorsFollowTheDevices() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(Manual(*f.IdleTimer).Enabled());
    for (int id : {241, 7, 0, 3}) QVERIFY(f.Controls->Register(id, 0) != nullptr);
    // The panel is rebuilt in ID order: consoles 3 and 7 are the two rows, R241 is lit.
    QCOMPARE(f.RowCount, 2);
    // Volts in the user's decimal separator, as the channel graph writes its readings.
    const auto local = [](QString row) { return row.replace(QLatin1Char(','), SystemDecimalPoint()); };
    QVERIFY(f.Rows[0]->text().startsWith(local("  3. 8   24,00в")));
    QVERIFY(f.Rows[1]->text().startsWith(local("  7. 16   5,50в")));
    QCOMPARE(f.RadioLeds[1]->Fill(), ColorOn);
    QCOMPARE(f.RadioLeds[0]->Fill(), ColorBack);

    // Four ticks poll all four devices; the good answers colour the rows by their status bit.
    f.PollIndex = 0;
    Ticks(f, 4);
    QCOMPARE(f.PollIndex, 0);
    QCOMPARE(f.Rows[0]->text(), local("  3. 8   24,00в    100%"));
    QCOMPARE(RowBack(f.Rows[0]), kLime);
    QCOMPARE(RowBack(f.Rows[1]), ColorField);
    QCOMPARE(f.RadioLeds[1]->Fill(), ColorOn);

    // Console 7 and the radio module fall silent: red row with white text, red indicator.
    w.Bench().SetPowered(7, false);
    w.Bench().SetPowered(241, false);
    Ticks(f, 4);
    QCOMPARE(RowBack(f.Rows[1]), kRed);
    QCOMPARE(RowText(f.Rows[1]), kWhite);
    QCOMPARE(RowBack(f.Rows[0]), kLime);
    QCOMPARE(f.RadioLeds[1]->Fill(), ColorAlarm);
    QVERIFY(f.Rows[1]->text().endsWith("%"));
    QVERIFY(!f.Rows[1]->text().endsWith("100%"));
    if (const QByteArray dir = qgetenv("FIRNADESK_SCREENSHOT_DIR"); !dir.isEmpty())
      f.grab().save(QString::fromLocal8Bit(dir) + "/console-silent.png");

    // Back on: one good poll brings the status colour and the window text back.
    w.Bench().SetPowered(7, true);
    w.Bench().SetPowered(241, true);
    Ticks(f, 4);
    QCOMPARE(RowBack(f.Rows[1]), ColorField);
    QCOMPARE(RowText(f.Rows[1]), QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(f.RadioLeds[1]->Fill(), ColorOn);
  }

  // A console below 151 reports no status bit: its row is yellow. A status the window does not
  // know leaves the row's background as it was.
  void rowColourOfAStatusNotReportedOrUnknown() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 5 version 150 channels 8\n");
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->Register(5, 0) != nullptr);
    QCOMPARE(f.RowCount, 1);
    const struct {
      int statusBit;  // -1: as the console reports it
      QColor back;
    } steps[] = {{-1, kYellow}, {9, kYellow}, {0, kLime}, {9, kLime}};
    for (const auto& step : steps) {
      auto* console = dynamic_cast<fd::devices::TCommonControl*>(f.Controls->FindByID(5));
      QVERIFY(console != nullptr);
      // Below 151 a poll leaves the bit as it is: what the test sets is what the row shows.
      if (step.statusBit >= 0) console->StatusBit = static_cast<uint8_t>(step.statusBit);
      Ticks(f, 1);
      QCOMPARE(int(console->LastResult), 0);
      QCOMPARE(RowBack(f.Rows[0]), step.back);
    }
  }

  void anUnpluggedConverterIsShownOnceFlashesAndRestores() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    QCOMPARE(f.RS485->Fill(), kLime);

    w.Bench().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(f.LinkLost, 5000);
    QVERIFY(w.Warning().isVisible());
    QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Конвертер RS485 - нет связи."));
    QCOMPARE(Manual(*w.Warning().Timer).Interval(), 10000u);

    // The indicator flashes red every 700 ms; its label stays in the caption colour.
    QCOMPARE(Manual(*f.ErrFlashTimer).Interval(), 700u);
    QList<QColor> fills;
    for (int i = 0; i < 4; ++i) {
      Manual(*f.ErrFlashTimer).Fire();
      fills << f.RS485->Fill();
      QCOMPARE(f.RS485->LabelColor(), ColorOffText);
    }
    QCOMPARE(fills.count(ColorAlarm), 2);
    QCOMPARE(fills.count(ColorBack), 2);
    QVERIFY(fills[0] != fills[1]);

    // The banner goes by itself after its time even though the link stays lost.
    Manual(*w.Warning().Timer).Fire();
    QVERIFY(!w.Warning().isVisible());
    QVERIFY(f.LinkLost);

    w.Bench().Replug();
    QTRY_VERIFY_WITH_TIMEOUT(!f.LinkLost, 5000);
    QCOMPARE(f.RS485->Fill(), ColorOn);
    QCOMPARE(f.RS485->LabelColor(), ColorOnText);
    Manual(*f.ErrFlashTimer).Fire();
    QCOMPARE(f.RS485->Fill(), ColorOn);
    QCOMPARE(Manual(*w.Warning().Timer).Starts, 1);
    const QStringList expected{"Ошибка преобразователя RS485 - нет связи",
                               "Работа преобразователя RS485 восстановлена"};
    QCOMPARE(LinesAfterStartup(), expected);
  }

  // A converter that is not there, and one another program holds: lost at start, and for the
  // held one the banner says so at once. The lock is taken here, through an open of its own: a
  // lock on one open file keeps the window's open of the same terminal out just as another
  // program's would (the system then names nobody, the holder being this very process).
  void aConverterMissingOrHeldAtStartIsShownAsLost() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString terminal = QString::fromLocal8Bit(::ptsname(master));
    const int holder = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const struct {
      QString path;
      QString banner;
    } cases[] = {
        {dir_->filePath("no-such-tty"), QStringLiteral("Конвертер RS485 - нет связи.")},
        {terminal, QStringLiteral("Конвертер RS485 - нет связи. Порт занят другой программой.")},
    };
    for (const auto& c : cases) {
      ConverterChoice choice;
      choice.Kind = ConverterChoice::Source::Port;
      choice.PortPath = c.path.toStdString();
      std::string error;
      auto converter = ConverterSource::Make(choice, platform_.GetClock(), error);
      QVERIFY(converter != nullptr);
      StartupEnvironment env;
      env.ProgramFolder = dir_->path().toStdString() + "/";
      env.Converter = converter.get();
      CommandLineOptions options;
      options.LogLevel = 1;
      TMainForm form(platform_, options, env);
      TWarningForm banner(platform_, &form);
      WarningForm = &banner;
      form.show();
      QTRY_VERIFY_WITH_TIMEOUT(form.LinkLost, 5000);
      QVERIFY(banner.isVisible());
      QCOMPARE(banner.Panel->text(), c.banner);
      QVERIFY(LinesAfterStartup().contains(QStringLiteral("Ошибка преобразователя RS485 - нет связи")));
      WarningForm = nullptr;
      fd::support::ResetRunLog();
    }
    ::close(holder);
    ::close(master);
  }

  void restoringTheLinkClosesItsOwnBannerOnly() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    w.Bench().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(f.LinkLost, 5000);
    QVERIFY(w.Warning().isVisible());
    w.Bench().Replug();
    QTRY_VERIFY_WITH_TIMEOUT(!f.LinkLost, 5000);
    QVERIFY(!w.Warning().isVisible());

    // An emergency stop on the banner stays for the operator to read.
    w.Bench().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(f.LinkLost, 5000);
    w.Warning().ShowWarning(QStringLiteral("Экстренная остановка!"));
    w.Bench().Replug();
    QTRY_VERIFY_WITH_TIMEOUT(!f.LinkLost, 5000);
    QVERIFY(w.Warning().isVisible());
  }

  void readyFlashesTheWorkLed() {
    BenchWindow w(platform_, *dir_, kBench);
    w.ShowActive();
    TMainForm& f = w.Form();
    w.Press(Qt::Key_F1);
    QCOMPARE(int(fd::show::OperatingMode), int(fd::show::omReady));
    QList<QColor> fills;
    for (int i = 0; i < 3; ++i) {
      Manual(*f.ErrFlashTimer).Fire();
      fills << f.WorkLed->Fill();
    }
    QVERIFY(fills[0] != fills[1]);
    QCOMPARE(fills[0], fills[2]);
  }
};

QTEST_MAIN(StatusPollingTest)
#include "test_status_polling.moc"
