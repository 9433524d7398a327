// A show-design script opened in the window by F2 or --scenario: imported in memory and loaded as a
// scenario, a row that cannot be read named by its input line as a scenario line is.
#include <QtTest>

#include "app/bench_window.h"
#include "show/project_list.h"

using namespace fd::app;
using namespace fd::app::testing;

class ScriptImportTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  ManualTimerPlatform platform_;

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    platform_.Messages.clear();
  }
  void cleanup() { fd::support::ResetRunLog(); }

  void f2LoadsAScriptAsAScenario() {
    const struct {
      const char* name;
      QByteArray bytes;
      int cues;             // 0: the load failed
      std::string message;  // what the operator is shown, if anything
    } cases[] = {
        {"design.csv",
         "# exported\r\nTime;Module;Pin;Effect\r\n0:00:02,5;3;2;\"Peony; red\"\r\n1,5;3;1;Comet\r\n",
         2,
         {}},
        {"design.txt", "Время\tПульт\tКанал\r\n1\t4\t7\r\n", 1, {}},
        {"broken.csv", "time,console,channel\n1,3,1\n\n2,3,x\n", 0, "Ошибка загрузки сценария (строка: 4)."},
        {"noheader.csv", "1,3,1\n", 0, "Ошибка загрузки сценария (строка: 1)."},
    };
    for (const auto& c : cases) {
      platform_.Messages.clear();
      BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\nconsole 4\n");
      w.ShowActive();
      const QString path = WriteFile(*dir_, c.name, c.bytes);
      w.Form().ChooseFile = [&](const QString&) { return path; };
      w.Press(Qt::Key_F2);
      const fd::show::TProjectList& list = *w.Form().Project;
      QCOMPARE(list.Count(), c.cues);
      QCOMPARE(list.FileName(), c.cues ? std::string(c.name) : std::string());
      if (c.message.empty()) {
        QVERIFY(platform_.Messages.empty());
      } else {
        QCOMPARE(platform_.Messages.size(), size_t{1});
        QCOMPARE(platform_.Messages.back().Text, c.message);
        QCOMPARE(platform_.Messages.back().Caption, std::string("Ошибка"));
      }
    }
  }

  void theFirstScriptLoadsSortedWithItsTexts() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\n", [&](CommandLineOptions& options) {
      options.ScenarioPath =
          WriteFile(*dir_, "show.csv", "Time,Module,Pin,Effect\n0:00:02.5,3,2,\"Peony; red\"\n1.5,3,1,Комета\n")
              .toStdString();
    });
    w.ShowActive();
    w.Form().OpenStartupFiles();
    const fd::show::TProjectList& list = *w.Form().Project;
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Items(0).TimeText, std::string("0:00:01.500"));
    QCOMPARE(list.Items(0).Comment, std::string("Комета"));
    QCOMPARE(list.Items(1).TimeMs, 2500);
    QCOMPARE(list.Items(1).Channel, 1);
    QCOMPARE(list.Items(1).Comment, std::string("Peony; red"));
  }
};

QTEST_MAIN(ScriptImportTest)
#include "test_script_import.moc"
