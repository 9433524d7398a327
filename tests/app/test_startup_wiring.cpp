// The console on the virtual bench: the engine, the registry and the scenario list are created at
// start-up on the converter the command line chose, and frames heard on the bus reach the registry.
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>

#include "app/app_test_support.h"
#include "app/converter_source.h"
#include "app/main_form.h"
#include "audio/bass_files.h"
#include "sim/bench.h"

using namespace fd::app;
using fd::app::testing::RecordingPlatform;

class StartupWiringTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  RecordingPlatform platform_;

  StartupEnvironment Environment(ConverterSource* converter) {
    StartupEnvironment env;
    env.ProgramFolder = dir_->path().toStdString() + "/";
    env.Now = [] { return std::time_t{1765200000}; };
    env.Converter = converter;
    return env;
  }

  std::string WriteBench(const std::string& text) {
    const std::string path = dir_->filePath("peer.bench").toStdString();
    std::ofstream(path) << text;
    return path;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    testing::RedirectUserSettings(dir_->path());
    platform_.Messages.clear();
  }

  void simulateConnectsTheEngineToTheBench() {
    ConverterChoice choice;
    choice.Kind = ConverterChoice::Source::Simulate;
    std::string error;
    auto converter = ConverterSource::Make(choice, platform_.GetClock(), error);
    QVERIFY2(converter != nullptr, error.c_str());
    QVERIFY(converter->Bench() != nullptr);

    TMainForm form(platform_, CommandLineOptions{}, Environment(converter.get()));
    QVERIFY(form.Port != nullptr);
    QVERIFY(form.Controls != nullptr);
    QVERIFY(form.Project != nullptr);
    QCOMPARE(form.Project->Count(), 0);
    // The player plays this window's scenario and reports to it; the audio indicator tells whether
    // the audio device opened, in the start-up colours.
    QVERIFY(form.Player != nullptr);
    QCOMPARE(form.Player->Cues, form.Project.get());
    QVERIFY(form.Player->OnProgress && form.Player->OnStateChange && form.Player->OnEmergencyStop &&
            form.Player->OnIdle);
    const bool audio = fd::audio::AudioReady();
    QCOMPARE(form.SoundReadyLed->Fill(), audio ? QColor(0x00, 0xFF, 0x00) : QColor(0xFF, 0x00, 0x00));
    QCOMPARE(form.SoundReadyLabel->palette().color(QPalette::WindowText),
             audio ? QColor(0x00, 0x00, 0x00) : QColor(0xBB, 0xD0, 0xF2));
    QVERIFY(form.Port->Connected());
    QCOMPARE(form.Port->ReplyTimeout.load(), 70u);

    // An exchange from the window's thread reaches the bench console and its answer comes back.
    int version = 0;
    QCOMPARE(form.Port->ReadVersion(4, -1, -1, version), 0);
    QCOMPARE(version, 0x168);
  }

  void framesHeardOnTheBusReachTheRegistry() {
    const std::string bench = WriteBench("converters 1\nconsole 4 version 168 channels 8\npeer 77 version 3 seed 5\n");
    ConverterChoice choice;
    choice.Kind = ConverterChoice::Source::Simulate;
    choice.BenchPath = bench;
    std::string error;
    auto converter = ConverterSource::Make(choice, platform_.GetClock(), error);
    QVERIFY2(converter != nullptr, error.c_str());

    TMainForm form(platform_, CommandLineOptions{}, Environment(converter.get()));
    form.Controls->SetSearchMode(fd::devices::smRegister);
    // The peer answers the sweep frame later; its answer arrives unsolicited through the engine
    // thread and the hand-over, and the registry registers the other program.
    QCOMPARE(form.Port->SendPeerSweep(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(form.Controls->SoftCount(), 1, 5000);
    QCOMPARE(form.Controls->SoftByOrdinal(0)->PeerNumber, 77);
    form.Controls->SetSearchMode(fd::devices::smNone);
  }

  void aBadBenchFileIsRefusedWithItsLine() {
    const std::string bench = WriteBench("converters 1\nconsole 400 version 168\n");
    ConverterChoice choice;
    choice.Kind = ConverterChoice::Source::Simulate;
    choice.BenchPath = bench;
    std::string error;
    QVERIFY(ConverterSource::Make(choice, platform_.GetClock(), error) == nullptr);
    QVERIFY2(error.find(bench + ":2:") != std::string::npos, error.c_str());
  }

  void aNamedPortThatIsMissingLeavesTheEngineUnconnected() {
    ConverterChoice choice;
    choice.Kind = ConverterChoice::Source::Port;
    choice.PortPath = dir_->filePath("no-such-tty").toStdString();
    std::string error;
    auto converter = ConverterSource::Make(choice, platform_.GetClock(), error);
    QVERIFY(converter != nullptr);
    TMainForm form(platform_, CommandLineOptions{}, Environment(converter.get()));
    QVERIFY(!form.Port->Connected());
    int version = 0;
    QCOMPARE(form.Port->ReadVersion(4, -1, -1, version), -1);
  }
};

QTEST_MAIN(StartupWiringTest)
#include "test_startup_wiring.moc"
