// The console program as the operator and the scripts start it.
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class ProgramTest : public QObject {
  Q_OBJECT

  struct Run {
    int ExitCode = -1;
    QString Out;
    QString Err;
  };

  // Starts the program with the user's configuration folder in the temporary folder.
  QProcessEnvironment Environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    return env;
  }

  // program: the console itself, or a shell that prepares the run and then becomes the console.
  Run Start(const QStringList& args, int limitMs = 15000, const QString& program = FIRNADESK_PROGRAM,
            const QString& workDir = {}) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    if (!workDir.isEmpty()) process.setWorkingDirectory(workDir);
    process.start(program, args);
    Run run;
    if (!process.waitForFinished(limitMs)) {
      process.kill();
      process.waitForFinished();
      return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
  }

  QTemporaryDir dir_;

 private slots:
  void badOptionGivesUsageAndExitCode2() {
    const Run run = Start({"--simulate", "--bogus"});
    QCOMPARE(run.ExitCode, 2);
    QVERIFY(run.Err.contains("unknown option: --bogus"));
    QVERIFY(run.Err.contains("usage: firnadesk"));
    QVERIFY(run.Out.isEmpty());

    const Run badValue = Start({"--log-level", "x"});
    QCOMPARE(badValue.ExitCode, 2);
    QVERIFY(badValue.Err.contains("usage: firnadesk"));
  }

  void helpGoesToStandardOutput() {
    const Run run = Start({"--help"});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY(run.Out.startsWith("usage: firnadesk"));
  }

  void screenshotThenQuit() {
    const QString shot = dir_.filePath("shot.png");
    const Run run = Start({"--simulate", "--screenshot", shot, "--quit-after", "300"});
    QCOMPARE(run.ExitCode, 0);
    const QImage image(shot);
    QVERIFY2(!image.isNull(), qPrintable(run.Err));
    // The whole maximised window, not a part of it.
    QVERIFY(image.width() > 500 && image.height() > 500);
    // Reading the colour scheme at start-up leaves no settings behind.
    QVERIFY(!QFileInfo::exists(dir_.filePath("config/tollwick")));
  }

  void unwritableScreenshotFailsTheRun() {
    const QString shot = dir_.filePath("no such folder/shot.png");
    const Run run = Start({"--screenshot", shot, "--quit-after", "100"});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY(run.Err.contains("could not write the screenshot"));
  }

  // What the program quotes from its command line cannot drive the terminal, and a path too long
  // for the system still ends in the reason.
  void messagesQuoteArgumentsSafely_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("unknown option") << QStringList{"--bogus\x1b]0;x\x07"} << 2
                                    << "unknown option: --bogus\\x1B]0;x\\x07";
    QTest::newRow("bench path too long") << QStringList{"--simulate=" + dir_.filePath(QString(5000, 'b') + "\x1b[2J")}
                                         << 2 << "bbb\\x1B[2J: cannot read the file (name too long)";
    QTest::newRow("screenshot path") << QStringList{"--screenshot", dir_.filePath("no such folder/\x1b[31mshot.png"),
                                                    "--quit-after", "100"}
                                     << 1
                                     << "could not write the screenshot to " +
                                            dir_.filePath("no such folder/\\x1B[31mshot.png");
  }
  void messagesQuoteArgumentsSafely() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, errorPart);
    const Run run = Start(args);
    QCOMPARE(run.ExitCode, exitCode);
    QVERIFY2(run.Err.contains(errorPart), qPrintable(run.Err));
    QVERIFY2(!run.Err.contains(QChar(0x1b)), qPrintable(run.Err));
    // The message and the usage text, never an argument's full length.
    QVERIFY2(run.Err.size() < 1600, qPrintable(run.Err));
  }

  // Files a launcher may name that cannot be loaded: the run ends at its quit time whatever box
  // waited, no second box holds it, standard error (no terminal here) says why, and the status
  // says that something failed.
  void filesThatDoNotLoadFailAQuitAfterRun_data() {
    QTest::addColumn<QString>("setup");  // bash, in the temporary folder
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("memoryMb");  // ulimit -v, 0: none
    QTest::addColumn<QString>("said");
    QTest::newRow("a pipe nobody writes to as the scenario")
        << "mkfifo show.txt" << QStringList{"--scenario", "show.txt"} << 0
        << "firnadesk: Ошибка загрузки сценария: File access denied (it is a pipe, not a regular file)";
    QTest::newRow("then a folder as the soundtrack")
        << "mkfifo show.txt; mkdir -p track.wav" << QStringList{"--scenario", "show.txt", "--soundtrack", "track.wav"}
        << 0 << "(it is a pipe, not a regular file)";
    QTest::newRow("a folder as the soundtrack") << "mkdir -p track.wav" << QStringList{"--soundtrack", "track.wav"} << 0
                                                << "firnadesk: Ошибка загрузки фонограммы: не обычный файл";
    // Five million cues need some 650 MB; the window itself takes about 250 MB of addresses.
    QTest::newRow("more cues than the memory holds")
        << "yes '1 1 1' | head -c 30M > big.txt" << QStringList{"--scenario", "big.txt"} << 700
        << "firnadesk: Недостаточно памяти для загрузки сценария: 5242880 команд";
  }
  void filesThatDoNotLoadFailAQuitAfterRun() {
    QFETCH(QString, setup);
    QFETCH(QStringList, args);
    QFETCH(int, memoryMb);
#if defined(__SANITIZE_ADDRESS__)
    // The address checker maps terabytes of shadow memory up front: no run starts under a limit.
    if (memoryMb > 0) QSKIP("a memory limit leaves no room for the address checker's shadow");
#endif
    QFETCH(QString, said);
    QTemporaryDir work;
    const QString limit = memoryMb > 0 ? QString("ulimit -v %1; ").arg(memoryMb * 1024) : QString();
    QElapsedTimer took;
    took.start();
    const Run run = Start(QStringList{"-c", setup + "; " + limit + "exec \"$0\" \"$@\"", FIRNADESK_PROGRAM,
                                      "--simulate", "--quit-after", "1500"} +
                              args,
                          20000, "/bin/bash", work.path());
    QVERIFY2(took.elapsed() < 10000, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(said), qPrintable(run.Err));
  }

  // The cue list keeps next to nothing per cue: five million cues, refused above only for want of
  // memory, load and show where the memory is there, and the run ends as usual.
  void millionsOfCuesLoadWhereTheMemoryIsThere() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("a memory limit leaves no room for the address checker's shadow");
#endif
    QTemporaryDir work;
    const Run run = Start(QStringList{"-c",
                                      "yes '1 1 1' | head -c 30M > big.txt; ulimit -v 3072000; "
                                      "exec \"$0\" \"$@\"",
                                      FIRNADESK_PROGRAM, "--simulate", "--scenario", "big.txt", "--quit-after", "1500"},
                          30000, "/bin/bash", work.path());
    QVERIFY2(!run.Err.contains("Недостаточно памяти"), qPrintable(run.Err));
    QCOMPARE(run.ExitCode, 0);
  }

  // An hour of sound decodes for seconds on its own thread; the quit time comes first and ends the
  // run at once, the load given up without a message box.
  void aQuitDuringASoundtrackLoadEndsTheProgram() {
    const QString wav = dir_.filePath("hour.wav");
    {
      const quint32 rate = 8000, dataBytes = rate * 2 * 3600;
      QByteArray header("RIFF");
      auto u32 = [&header](quint32 v) {
        for (int i = 0; i < 4; ++i) header.append(char((v >> (8 * i)) & 0xFF));
      };
      auto u16 = [&header](quint16 v) {
        header.append(char(v & 0xFF));
        header.append(char(v >> 8));
      };
      u32(36 + dataBytes);
      header.append("WAVEfmt ");
      u32(16);
      u16(1);
      u16(1);
      u32(rate);
      u32(rate * 2);
      u16(2);
      u16(16);
      header.append("data");
      u32(dataBytes);
      QFile file(wav);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(header);
      QVERIFY(file.resize(header.size() + qint64{dataBytes}));  // silence, without writing it
    }
    QElapsedTimer took;
    took.start();
    const Run run = Start({"--simulate", "--soundtrack", wav, "--quit-after", "200"}, 20000);
    QCOMPARE(run.ExitCode, 0);
    QVERIFY2(took.elapsed() < 3000, qPrintable(QString::number(took.elapsed())));
    QVERIFY2(!run.Err.contains("Ошибка загрузки фонограммы"), qPrintable(run.Err));
  }

  void terminationSignalEndsTheProgram() {
    QProcess process;
    process.setProcessEnvironment(Environment());
    // Started with its soundtrack player, and so with the audio device open.
    process.start(QStringLiteral(FIRNADESK_PROGRAM), {"--simulate", "--quit-after", "60000"});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    process.terminate();
    const bool ended = process.waitForFinished(5000);
    if (!ended) process.kill();
    QVERIFY2(ended, "SIGTERM left the program running");
  }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
