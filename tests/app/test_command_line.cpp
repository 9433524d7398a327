#include <QtTest>
#include <string>
#include <vector>

#include "app/command_line.h"

using fd::app::ConverterChoice;
using fd::app::ParseCommandLine;

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void plainStartLooksForFtdiConverters() {
    const auto r = ParseCommandLine({});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Ftdi);
    QCOMPARE(r.Options.LogLevel, uint8_t{0});
    QVERIFY(r.Options.ScreenshotPath.empty());
    QCOMPARE(r.Options.QuitAfterMs, -1);
    QVERIFY(!r.Options.HelpRequested);
  }

  void simulateWithAndWithoutBench() {
    auto r = ParseCommandLine({"--simulate"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Simulate);
    QVERIFY(r.Options.Converter.BenchPath.empty());

    r = ParseCommandLine({"--simulate=benches/two consoles.txt"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Simulate);
    QCOMPARE(r.Options.Converter.BenchPath, std::string("benches/two consoles.txt"));
    QVERIFY(r.Options.Converter.PortPath.empty());
  }

  void portInBothSpellings() {
    auto r = ParseCommandLine({"--port", "/dev/pts/7"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Port);
    QCOMPARE(r.Options.Converter.PortPath, std::string("/dev/pts/7"));

    r = ParseCommandLine({"--port=/dev/ttyUSB1"});
    QVERIFY(r.Ok);
    QCOMPARE(r.Options.Converter.PortPath, std::string("/dev/ttyUSB1"));
    QVERIFY(r.Options.Converter.BenchPath.empty());
  }

  void unattendedRunOfTheConsoleScript() {
    const auto r = ParseCommandLine({"--simulate", "--screenshot", "firnadesk-screenshot.png", "--quit-after", "5000"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Simulate);
    QCOMPARE(r.Options.ScreenshotPath, std::string("firnadesk-screenshot.png"));
    QCOMPARE(r.Options.QuitAfterMs, 5000);
  }

  void showFolderFilesAtStart() {
    auto r = ParseCommandLine(
        {"--simulate", "--scenario", "show/cues.txt", "--soundtrack=show/music.mp3", "--journal-dir", "records"});
    QVERIFY(r.Ok);
    QCOMPARE(r.Options.ScenarioPath, std::string("show/cues.txt"));
    QCOMPARE(r.Options.SoundtrackPath, std::string("show/music.mp3"));
    QCOMPARE(r.Options.JournalDir, std::string("records"));
    r = ParseCommandLine({"--scenario"});
    QVERIFY(!r.Ok);
    QVERIFY(QString::fromStdString(r.Error).contains("--scenario: value missing"));
    r = ParseCommandLine({"--soundtrack="});
    QVERIFY(!r.Ok);
    QVERIFY(QString::fromStdString(r.Error).contains("--soundtrack: value missing"));
  }

  void logLevelRange_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("level");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("largest") << "255" << 255;
  }
  void logLevelRange() {
    QFETCH(QString, value);
    QFETCH(int, level);
    auto r = ParseCommandLine({"--log-level", value.toStdString()});
    QVERIFY(r.Ok);
    QCOMPARE(int(r.Options.LogLevel), level);
    r = ParseCommandLine({"--log-level=" + value.toStdString()});
    QVERIFY(r.Ok);
    QCOMPARE(int(r.Options.LogLevel), level);
  }

  void quitAfterZeroAndLargest() {
    QCOMPARE(ParseCommandLine({"--quit-after", "0"}).Options.QuitAfterMs, 0);
    QCOMPARE(ParseCommandLine({"--quit-after=2147483647"}).Options.QuitAfterMs, 2147483647);
  }

  void help() {
    QVERIFY(ParseCommandLine({"--help"}).Options.HelpRequested);
    QVERIFY(ParseCommandLine({"-h"}).Options.HelpRequested);
    QVERIFY(!ParseCommandLine({"--help=yes"}).Ok);
  }

  void badCommandLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option: --bogus";
    QTest::newRow("single dash") << QStringList{"-x"} << "unknown option";
    QTest::newRow("stray argument") << QStringList{"bench.txt"} << "unexpected argument: bench.txt";
    QTest::newRow("bench after blank") << QStringList{"--simulate", "bench.txt"} << "unexpected argument";
    QTest::newRow("empty bench") << QStringList{"--simulate="} << "bench file name is missing";
    QTest::newRow("port without path") << QStringList{"--port"} << "--port: value missing";
    QTest::newRow("port then option") << QStringList{"--port", "--log-level", "1"} << "--port: value missing";
    QTest::newRow("empty port") << QStringList{"--port="} << "--port: value missing";
    QTest::newRow("simulate and port") << QStringList{"--port", "/dev/x", "--simulate"} << "exclude each other";
    QTest::newRow("level too high") << QStringList{"--log-level", "256"} << "--log-level";
    QTest::newRow("level negative") << QStringList{"--log-level", "-1"} << "--log-level";
    QTest::newRow("level text") << QStringList{"--log-level", "abc"} << "--log-level";
    QTest::newRow("level hex") << QStringList{"--log-level", "0x1"} << "--log-level";
    QTest::newRow("level blank") << QStringList{"--log-level", " 1"} << "--log-level";
    QTest::newRow("level missing") << QStringList{"--log-level"} << "value missing";
    QTest::newRow("screenshot missing") << QStringList{"--screenshot"} << "value missing";
    QTest::newRow("quit negative") << QStringList{"--quit-after", "-5"} << "--quit-after";
    QTest::newRow("quit fraction") << QStringList{"--quit-after", "1.5"} << "--quit-after";
    QTest::newRow("quit too large") << QStringList{"--quit-after", "99999999999"} << "--quit-after";
    // The demo fires only on the shipped bench with its own show.
    QTest::newRow("real line") << QStringList{"--demo", "--port", "/dev/ttyUSB0"} << "virtual bench only";
    QTest::newRow("other bench") << QStringList{"--demo", "--simulate=my.bench"} << "shipped bench only";
    QTest::newRow("own scenario") << QStringList{"--demo", "--scenario", "show.txt"} << "makes its own show";
    QTest::newRow("own soundtrack") << QStringList{"--demo", "--soundtrack", "a.wav"} << "makes its own show";
    QTest::newRow("shots alone") << QStringList{"--demo-shots", "x"} << "only with --demo";
    QTest::newRow("exit alone") << QStringList{"--simulate", "--demo-exit"} << "only with --demo";
    QTest::newRow("demo value") << QStringList{"--demo=1"} << "takes no value";
    QTest::newRow("empty scenario argument") << QStringList{"--scenario", ""} << "--scenario: value missing";
    QTest::newRow("port twice") << QStringList{"--port", "/dev/a", "--port=/dev/b"} << "--port given twice";
    QTest::newRow("simulate twice") << QStringList{"--simulate", "--simulate=b.bench"} << "--simulate given twice";
    QTest::newRow("help twice") << QStringList{"-h", "--help"} << "--help given twice";
  }
  void badCommandLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, errorPart);
    std::vector<std::string> list;
    for (const QString& a : args) list.push_back(a.toStdString());
    const auto r = ParseCommandLine(list);
    QVERIFY(!r.Ok);
    QVERIFY2(QString::fromStdString(r.Error).contains(errorPart), r.Error.c_str());
  }

  void demoRunsOnTheShippedBenchWithItsPictureFolder() {
    auto r = ParseCommandLine({"--demo"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Demo);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Simulate);
    QVERIFY(r.Options.Converter.BenchPath.empty());
    QCOMPARE(r.Options.DemoShotsPath, std::string("screenshots"));
    QVERIFY(!r.Options.DemoExit);

    r = ParseCommandLine({"--simulate", "--demo", "--demo-shots", "/tmp/shots", "--demo-exit"});
    QVERIFY(r.Ok);
    QVERIFY(r.Options.Converter.Kind == ConverterChoice::Source::Simulate);
    QCOMPARE(r.Options.DemoShotsPath, std::string("/tmp/shots"));
    QVERIFY(r.Options.DemoExit);
  }

  void usageNamesEveryOption() {
    const QString usage = QString::fromStdString(fd::app::UsageText("firnadesk"));
    QVERIFY(usage.startsWith("usage: firnadesk "));
    for (const char* option :
         {"--simulate[=BENCH]", "--port PATH", "--log-level N", "--scenario FILE", "--soundtrack FILE",
          "--screenshot FILE", "--quit-after MS", "--demo", "--demo-shots DIR", "--demo-exit"})
      QVERIFY2(usage.contains(QLatin1String(option)), option);
    QVERIFY(usage.endsWith('\n'));
  }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
