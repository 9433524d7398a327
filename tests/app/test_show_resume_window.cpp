// A show cut short, loaded again in the window: the offer names where it carries on, "Продолжить"
// finds just the scenario's consoles and sets the position after the last cue sent, "Отмена" leaves
// all as it was. Shift+F10 is that quick search at any time; F10 keeps the full sweep.
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/bench_window.h"
#include "app/show_resume_dialog.h"
#include "journal/journal_events.h"
#include "journal/journal_reader.h"
#include "show/operating_mode.h"
#include "support/sha256.h"

using namespace fd::app;
using namespace fd::app::testing;

namespace {

// Consoles 1, 2 and 6 of the default bench, which also has 3, 4, 5 and 7 and radio module 240: a
// cue at 1 s, a burst of two at 2 s, a cue at 5 s.
const QByteArray kScenario = "1 1 1\n2 2 3\n2 6 2\n5 1 2\n";

std::set<int> RegisteredIds(const fd::devices::TControls& controls) {
  std::set<int> ids;
  for (int i = 0; i < controls.Count(); ++i) ids.insert(controls.Items(i)->ID);
  return ids;
}

}  // namespace

class ShowResumeWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;

  // The scenario loaded with F2 beside the journal its show left when killed after the first two cues
  // (in the bench window's records folder, its path to `journal`), the offer answered with
  // "Продолжить" or "Отмена".
  void LoadCutShort(BenchWindow& w, bool take, std::string& journal) {
    const QString scenario = WriteFile(*dir_, "show.txt", kScenario);
    const std::string folder = dir_->filePath("journal").toStdString();
    std::filesystem::create_directories(folder);
    fd::journal::JournalHeader header;
    header.scenarioPath = scenario.toStdString();
    header.scenarioSha256 = fd::support::FileSha256Hex(scenario.toStdString());
    header.launchMode = "direct";
    journal = folder + "/2026-05-01_20-00-00_show.jsonl";
    std::ofstream(journal) << fd::journal::HeaderLine(header) << "\n"
                           << fd::journal::CueLine({1, 1, 1, -1, 1000, 1002, false}) << "\n"
                           << fd::journal::CueLine({2, 2, 3, -1, 2000, 2001, false}) << "\n";
    w.Form().ChooseFile = [scenario](const QString&) { return scenario; };
    QStringList offer;
    WhenDialogShows(&w.Form(), [&](QDialog& dialog) {
      auto& resume = dynamic_cast<TResumeDialog&>(dialog);
      offer << resume.Question->text() << resume.LastCue->text() << resume.JournalLabel->text();
      (take ? resume.ContinueBtn : resume.CancelBtn)->click();
    });
    w.Press(Qt::Key_F2);
    QCOMPARE(offer, (QStringList{"Продолжить шоу с 0:00:02.0?",
                                 "Последний отправленный сигнал: пульт 2, канал 3, 0:00:02.0 (строка 2)",
                                 "Журнал: " + QString::fromStdString(journal)}));
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    fd::show::OperatingMode = fd::show::omWait;
  }
  void cleanup() { fd::support::ResetRunLog(); }

  void continueFindsTheScenariosConsolesAndSetsThePositionAfterTheLastCueSent() {
    BenchWindow w(platform_, *dir_);
    w.ShowActive();
    TMainForm& f = w.Form();
    std::string cutShort;
    LoadCutShort(w, true, cutShort);
    // Only the scenario's consoles and the radio modules and remote control were asked.
    QCOMPARE(RegisteredIds(*f.Controls), (std::set<int>{1, 2, 6, 240}));
    QVERIFY(!f.Searching);
    QCOMPARE(f.Player->Clock, 2000);
    QCOMPARE(f.Player->NextCue, 2);
    QCOMPARE(f.TimeLabel->text(), QStringLiteral("0:00:02.0"));
    QCOMPARE(int(fd::show::OperatingMode), int(fd::show::omWait));
    QCOMPARE(LinesAfterStartup(),
             (QStringList{QStringLiteral("Продолжение шоу с 0:00:02.0, журнал: ") + QString::fromStdString(cutShort),
                          QStringLiteral("Быстрый поиск: найдено пультов 3 из 3")}));

    // Armed and started by the operator: the rest of the burst goes out, nothing sent before it.
    w.Press(Qt::Key_F1);
    w.Press(Qt::Key_F5);
    QVERIFY(f.IsPlaying());
    Manual(*f.Player->ShowTimer).Fire();
    QTRY_COMPARE_WITH_TIMEOUT(int(w.Bench().FireLog().Entries().size()), 1, 3000);
    QCOMPARE(w.Bench().FireLog().Entries()[0].console, 6);
    QCOMPARE(w.Bench().FireLog().Entries()[0].channel, 2);
    const std::string resumed = f.ShowJournal->Path();
    w.Press(Qt::Key_F6);
    QVERIFY(!f.IsPlaying());
    std::string error;
    const auto journal = fd::journal::ReadJournalFile(resumed, error);
    QVERIFY2(journal.has_value(), error.c_str());
    QCOMPARE(journal->header.resumedFrom, cutShort);
    QCOMPARE(int(journal->cues.size()), 1);
    QCOMPARE(journal->cues[0].line, 3);
    QCOMPARE(int(w.Bench().FireLog().Entries().size()), 1);
  }

  void cancelLeavesAllAsItWas() {
    BenchWindow w(platform_, *dir_);
    w.ShowActive();
    TMainForm& f = w.Form();
    std::string cutShort;
    LoadCutShort(w, false, cutShort);
    QCOMPARE(f.Controls->Count(), 0);
    QCOMPARE(f.Player->Clock, 0);
    QCOMPARE(f.Player->NextCue, 0);
    QCOMPARE(f.TimeLabel->text(), QStringLiteral("0:00:00.0"));
    QCOMPARE(int(fd::show::OperatingMode), int(fd::show::omWait));
    QCOMPARE(LinesAfterStartup(),
             QStringList{QStringLiteral("Продолжение шоу отклонено, журнал: ") + QString::fromStdString(cutShort)});
  }

  void shiftF10SearchesTheScenariosConsolesAndF10KeepsTheFullSweep() {
    BenchWindow w(platform_, *dir_);
    w.ShowActive();
    TMainForm& f = w.Form();
    // No journal: loading offers nothing.
    const QString scenario = WriteFile(*dir_, "show.txt", "1 2 1\n3 9 1\n");
    f.ChooseFile = [scenario](const QString&) { return scenario; };
    w.Press(Qt::Key_F2);
    QCOMPARE(f.Project->Count(), 2);

    w.Press(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(!f.Searching && !f.SearchBtn->isChecked());
    // Console 9 is not on the bench.
    QCOMPARE(RegisteredIds(*f.Controls), (std::set<int>{2, 240}));
    QCOMPARE(LinesAfterStartup(), QStringList{QStringLiteral("Быстрый поиск: найдено пультов 1 из 2")});
    QVERIFY(f.IdleTimer->Enabled());

    // F10 starts the sweep of every address; Shift+F10 during it is F10: it ends it.
    w.Press(Qt::Key_F10);
    QVERIFY(f.Searching && f.SearchBtn->isChecked() && f.Controls->ScanTimer().Enabled());
    w.Press(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(!f.Searching);
    QVERIFY(!f.Controls->ScanTimer().Enabled());

    // In ГОТОВНОСТЬ the search key does nothing, shifted or not.
    w.Press(Qt::Key_F1);
    const int lines = int(LinesAfterStartup().size());
    w.Press(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(!f.Searching);
    QCOMPARE(int(LinesAfterStartup().size()), lines);
  }
};

QTEST_MAIN(ShowResumeWindowTest)
#include "test_show_resume_window.moc"
