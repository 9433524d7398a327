// The records of the window: the run log and the show journal go to the user's state folder when
// the program's own folder cannot be written, and the operator hears once when neither can.
#include <QImage>
#include <QThreadPool>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/bench_window.h"
#include "show/operating_mode.h"

using namespace fd::app;
using namespace fd::app::testing;

class ShowJournalWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;

  // A folder nobody can write, root included: a path through a plain file.
  std::string Unwritable(const char* name) {
    const std::string file = dir_->filePath(QString::fromLatin1(name)).toStdString();
    std::ofstream(file) << "";
    return file + "/bin/";
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    fd::show::OperatingMode = fd::show::omWait;
  }
  void cleanup() { fd::support::ResetRunLog(); }

  void unwritableProgramFolderPutsTheRunLogAndTheJournalInTheStateFolder() {
    const std::string state = dir_->filePath("state").toStdString() + "/firnadesk/";
    BenchWindow w(platform_, *dir_, {}, {}, [&](StartupEnvironment& env) {
      env.ProgramFolder = Unwritable("program");
      env.StateFolder = state;
    });
    w.ShowActive();
    QVERIFY(QString::fromStdString(fd::support::LogFileName()).startsWith(QString::fromStdString(state + "logs/")));
    QVERIFY(!RunLogLines().isEmpty());

    const QString scenario = dir_->filePath("show.txt");
    std::ofstream(scenario.toStdString()) << "5 1 1\n";
    w.Form().ChooseFile = [&](const QString&) { return scenario; };
    w.Press(Qt::Key_F2);
    w.Press(Qt::Key_F1);
    w.Press(Qt::Key_F5);
    QVERIFY(w.Form().IsPlaying());
    w.Press(Qt::Key_F6);
    QVERIFY(!w.Form().IsPlaying());

    // The show's picture is drawn beside its journal once it closes.
    QVERIFY(w.Form().WaitForShowPictures(30000));
    std::vector<std::string> journals, pictures;
    for (const auto& entry : std::filesystem::directory_iterator(state + "journal"))
      (entry.path().extension() == ".png" ? pictures : journals).push_back(entry.path().string());
    QCOMPARE(journals.size(), size_t{1});
    QCOMPARE(pictures.size(), size_t{1});
    QCOMPARE(QString::fromStdString(pictures[0]),
             QString::fromStdString(journals[0]).replace(QStringLiteral(".jsonl"), QStringLiteral(".png")));
    QCOMPARE(QImage(QString::fromStdString(pictures[0])).size(), QSize(3508, 2480));
    QVERIFY(QString::fromStdString(journals[0]).endsWith(QStringLiteral("_show.jsonl")));
    std::ifstream in(journals[0]);
    std::stringstream text;
    text << in.rdbuf();
    const QString lines = QString::fromStdString(text.str());
    QVERIFY2(lines.startsWith(QStringLiteral("{\"event\":\"header\"")), qPrintable(lines));
    QVERIFY2(lines.contains(QStringLiteral("\"source\":\"operator\"")), qPrintable(lines));
    QVERIFY2(lines.trimmed().section('\n', -1).startsWith(QStringLiteral("{\"event\":\"close\"")), qPrintable(lines));
    // A writable folder: nothing to warn of.
    w.Form().OpenStartupFiles();
    QVERIFY(!w.Warning().isVisible());
  }

  void neitherFolderWritableIsSaidOnceAtStart() {
    BenchWindow w(platform_, *dir_, {}, {}, [&](StartupEnvironment& env) {
      env.ProgramFolder = Unwritable("program");
      env.StateFolder = Unwritable("state");
    });
    w.ShowActive();
    w.Form().OpenStartupFiles();
    QVERIFY(w.Warning().isVisible());
    QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Нет папки для записей: журнал шоу не ведётся!"));
  }
};

QTEST_MAIN(ShowJournalWindowTest)
#include "test_show_journal_window.moc"
