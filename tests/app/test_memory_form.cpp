// The progress window of the scenario write and verify, on the offscreen platform, with the
// consoles on the virtual bench.
#include <QPalette>
#include <QtTest>
#include <functional>
#include <string>
#include <vector>

#include "app/memory_form.h"
#include "app_test_support.h"
#include "devices/bench_fixture.h"
#include "devices/controls.h"
#include "devices/scenario_memory.h"
#include "show/project_list.h"

using fd::app::TMemoryForm;
using fd::devices::CueRecord;

namespace {

// Records message boxes and lets a test act inside the window's event processing, which is where
// clicks and keys arrive during a run.
class ProbePlatform : public fd::app::testing::RecordingPlatform {
 public:
  void ProcessPendingEvents() override {
    ++Calls;
    if (OnProcess) OnProcess();
    RecordingPlatform::ProcessPendingEvents();
  }
  std::function<void()> OnProcess;
  int Calls = 0;
};

CueRecord Channel(int32_t time, int32_t console, int32_t fileChannel) {
  CueRecord cue;
  cue.TimeMs = time;
  cue.Console = console;
  cue.Channel = fileChannel - 1;
  return cue;
}

struct Seen {
  QString headline, label;
  int gauge;
  bool visible;
};

}  // namespace

class MemoryFormTest : public QObject {
  Q_OBJECT

 private:
  // Two consoles on the bench, registered, and a scenario of three cues for them.
  struct Rig {
    Rig() {
      bench.AddConsole(3, 0x165, 'S', 16);
      bench.AddConsole(5, 0x150, 'S', 16);
      bench.controls->Register(3, 0);
      bench.controls->Register(5, 0);
      bench.controls->SortByID();
      list.Cues() = {Channel(2000, 5, 4), Channel(1000, 3, 12), Channel(3000, 3, 1)};
    }
    fd::devices::testing::BusBench bench;
    fd::show::TProjectList list;
  };

  // Runs a write with a key or click delivered at the first progress event; the run must end
  // cancelled, with the window still up at the next event.
  void ExpectCancelledBy(const std::function<void(TMemoryForm&)>& act) {
    ProbePlatform platform;
    TMemoryForm form(platform);
    Rig rig;
    std::vector<bool> visibleAtEvent;
    platform.OnProcess = [&] {
      visibleAtEvent.push_back(form.isVisible());
      if (platform.Calls == 1) act(form);
    };
    QVERIFY(form.RunWrite(*rig.bench.controls, rig.list));
    QCOMPARE(form.LastResult(), fd::devices::kScenarioCancelled);
    QCOMPARE(platform.Calls, 2);  // the cancel is seen at the next event, which ends the run
    QCOMPARE(visibleAtEvent, (std::vector<bool>{true, true}));
    QCOMPARE(platform.Messages.size(), size_t{1});
    QCOMPARE(platform.Messages[0].Text, std::string("Операция прервана."));
    QCOMPARE(platform.Messages[0].Caption, std::string("Ошибка"));
    QVERIFY(!form.isVisible());
  }

 private slots:
  void windowLayoutAndTexts() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    QCOMPARE(form.objectName(), QStringLiteral("MemoryForm"));
    QCOMPARE(form.minimumSize(), QSize(383, 148));
    QCOMPARE(form.maximumSize(), QSize(383, 148));
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!form.isModal());

    QCOMPARE(form.Panel1->geometry(), QRect(0, 0, 383, 57));
    QCOMPARE(form.Panel1->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(form.Panel1->autoFillBackground());
    QCOMPARE(form.TextLabel->parentWidget(), form.Panel1);
    QCOMPARE(form.TextLabel->pos(), QPoint(12, 20));
    QCOMPARE(form.TextLabel->text(), QStringLiteral("Запись сценария"));
    QCOMPARE(form.TextLabel->font().family(), QStringLiteral("Verdana"));
    // Verdana where it is installed, else the Debian face with its shapes.
    for (const QLabel* label : {form.TextLabel, form.Label1})
      QCOMPARE(label->font().families(), QStringList({"Verdana", "DejaVu Sans"}));
    QCOMPARE(form.TextLabel->font().pixelSize(), 16);
    QVERIFY(form.TextLabel->font().bold());
    QCOMPARE(form.Label1->pos(), QPoint(14, 66));
    QCOMPARE(form.Label1->font().pixelSize(), 11);
    QVERIFY(form.Label1->font().bold());
    QCOMPARE(form.Label1->text(), QString());
    QCOMPARE(form.Gauge->geometry(), QRect(12, 86, 357, 16));
    QVERIFY(!form.Gauge->isTextVisible());
    QCOMPARE(form.Gauge->minimum(), 0);
    QCOMPARE(form.Gauge->maximum(), 100);
    QVERIFY(form.Gauge->styleSheet().contains(QStringLiteral("navy")));
    QCOMPARE(form.Button1->text(), QStringLiteral("Отмена"));
    QCOMPARE(form.Button1->geometry(), QRect(286, 114, 75, 25));
    QVERIFY(form.Button1->isDefault());
  }

  void writeShowsConsoleChannelAndProgressThenClosesQuietly() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    Rig rig;
    std::vector<Seen> seen;
    platform.OnProcess = [&] {
      seen.push_back({form.TextLabel->text(), form.Label1->text(), form.Gauge->value(), form.isVisible()});
    };
    QVERIFY(form.RunWrite(*rig.bench.controls, rig.list));
    QCOMPARE(form.LastResult(), 0);
    QVERIFY(platform.Messages.empty());
    QVERIFY(!form.isVisible());

    // Console 3 is at registry position 0, console 5 at 1; cues sorted: 3/12, 5/4, 3/1.
    QCOMPARE(seen.size(), size_t{4});
    QCOMPARE(seen[0].headline, QStringLiteral("Запись сценария в пульты..."));
    QCOMPARE(seen[0].label, QStringLiteral("Пульт: 3, канал: 12"));
    QCOMPARE(seen[0].gauge, 0);
    QCOMPARE(seen[1].label, QStringLiteral("Пульт: 3, канал: 1"));
    QCOMPARE(seen[1].gauge, 33);  // (3 x 0 + 2) / 6
    QCOMPARE(seen[2].label, QStringLiteral("Пульт: 5, канал: 4"));
    QCOMPARE(seen[2].gauge, 67);         // (3 x 1 + 1) / 6
    QCOMPARE(seen[3].label, QString());  // the final event clears it
    QCOMPARE(seen[3].gauge, 100);
    for (const Seen& s : seen) QVERIFY(s.visible);
    QCOMPARE(rig.bench.controls->VerifyScenario(rig.list.Cues()), 0);
  }

  void verifyReportsADifference() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    Rig rig;
    QVERIFY(form.RunWrite(*rig.bench.controls, rig.list));
    QCOMPARE(form.LastResult(), 0);

    rig.list.Cues()[1].TimeMs = 3010;  // console 3's second cue now differs from its memory
    QString headline;
    platform.OnProcess = [&] { headline = form.TextLabel->text(); };
    QVERIFY(form.RunVerify(*rig.bench.controls, rig.list));
    QCOMPARE(headline, QStringLiteral("Проверка сценария в пультах..."));
    QCOMPARE(form.LastResult(), fd::devices::kScenarioMismatch);
    QCOMPARE(platform.Messages.size(), size_t{1});
    QCOMPARE(platform.Messages[0].Text, std::string("Несовпадение сценария в пультах."));
    QCOMPARE(platform.Messages[0].Caption, std::string("Ошибка"));
  }

  void aScenarioTheConsolesCannotHoldIsReportedByItsLine() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    Rig rig;
    rig.list.Cues()[2].Channel = 600;  // channel 601: no record holds it
    rig.list.Cues()[2].Line = 7;
    const size_t sent = rig.bench.sent.size();
    for (bool write : {true, false}) {
      platform.Messages.clear();
      QVERIFY(write ? form.RunWrite(*rig.bench.controls, rig.list) : form.RunVerify(*rig.bench.controls, rig.list));
      QCOMPARE(form.LastResult(), -1);
      QCOMPARE(platform.Messages.size(), size_t{1});
      QCOMPARE(platform.Messages[0].Text, std::string("Ошибка сценария (строка: 7). Канал 601 вне диапазона 0..511."));
      QCOMPARE(platform.Messages[0].Caption, std::string("Ошибка"));
    }
    QCOMPARE(rig.bench.sent.size(), sent);
  }

  void escapeCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { QTest::keyClick(&f, Qt::Key_Escape); });
  }
  void escapeOnTheButtonCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { QTest::keyClick(f.Button1, Qt::Key_Escape); });
  }
  void enterCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { QTest::keyClick(&f, Qt::Key_Return); });
  }
  void keypadEnterOnTheButtonCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { QTest::keyClick(f.Button1, Qt::Key_Enter, Qt::KeypadModifier); });
  }
  void clickCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { QTest::mouseClick(f.Button1, Qt::LeftButton); });
  }
  void closingTheWindowCancels() {
    ExpectCancelledBy([](TMemoryForm& f) { f.close(); });
  }

  void secondRunFromInsideARunDoesNothing() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    Rig rig;
    std::vector<bool> nested;
    platform.OnProcess = [&] { nested.push_back(form.RunVerify(*rig.bench.controls, rig.list)); };
    QVERIFY(form.RunWrite(*rig.bench.controls, rig.list));
    QCOMPARE(form.LastResult(), 0);
    QCOMPARE(nested, (std::vector<bool>{false, false, false, false}));
    QVERIFY(!form.Running());
  }

  void registryWithoutConsolesShowsOnlyTheFinalEvent() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    fd::devices::testing::BusBench bench;
    fd::show::TProjectList list;
    list.Cues() = {Channel(1000, 3, 1)};
    form.Label1->setText(QStringLiteral("left over"));
    std::vector<Seen> seen;
    platform.OnProcess = [&] {
      seen.push_back({form.TextLabel->text(), form.Label1->text(), form.Gauge->value(), true});
    };
    QVERIFY(form.RunWrite(*bench.controls, list));
    QCOMPARE(form.LastResult(), 0);
    QCOMPARE(seen.size(), size_t{1});
    QCOMPARE(seen[0].gauge, 100);
    QCOMPARE(seen[0].label, QString());
    QVERIFY(platform.Messages.empty());
  }

  void reportResultShowsTheMessagesOfItsCodes() {
    ProbePlatform platform;
    TMemoryForm form(platform);
    const std::vector<std::pair<int, std::string>> withText = {{-1, "Ошибка устройства."},
                                                               {-2, "Ошибка передачи данных."},
                                                               {-3, "Ошибка передачи данных (истекло время ожидания)."},
                                                               {-100, "Несовпадение сценария в пультах."},
                                                               {-101, "Операция прервана."}};
    for (const auto& [code, text] : withText) {
      platform.Messages.clear();
      form.ReportResult(code);
      QCOMPARE(platform.Messages.size(), size_t{1});
      QCOMPARE(platform.Messages[0].Text, text);
      QCOMPARE(platform.Messages[0].Caption, std::string("Ошибка"));
    }
    platform.Messages.clear();
    for (int code : {0, -10, -4, 7}) form.ReportResult(code);
    QVERIFY(platform.Messages.empty());
  }

  void handlerOutlivingTheWindowDoesNothing() {
    ProbePlatform platform;
    Rig rig;
    {
      TMemoryForm form(platform);
      QVERIFY(form.RunWrite(*rig.bench.controls, rig.list));
    }
    // The registry still holds the window's handler; a run without the window must be safe.
    QCOMPARE(rig.bench.controls->VerifyScenario(rig.list.Cues()), 0);
  }
};

QTEST_MAIN(MemoryFormTest)
#include "test_memory_form.moc"
