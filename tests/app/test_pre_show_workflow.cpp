// The pre-show work in the window on the in-process bench: the search and its panel, the channel
// tests and their graph, the scenario and soundtrack keys, the pre-flight dialogs in front of
// writing and verifying, and the cue list following the show.
#include <QDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "app/bench_window.h"
#include "app/channel_graph.h"
#include "app/color_scheme.h"
#include "app/memory_form.h"
#include "app/warning_dialogs.h"
#include "devices/common_control.h"
#include "show/operating_mode.h"

using namespace fd::app;
using namespace fd::app::testing;

namespace {

const QColor kLime(0x00, 0xFF, 0x00), kBlue(0x00, 0x00, 0xFF), kRed(0xFF, 0x00, 0x00);

// Whether any pixel within radius of (x, y) has the colour: a line drawn by a rasteriser may sit
// one pixel either side of the exact diagonal.
bool ColourNear(const QImage& image, int x, int y, const QColor& colour, int radius = 1) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (image.valid(x + dx, y + dy) && image.pixelColor(x + dx, y + dy) == colour) return true;
  return false;
}

// The colour inside a cell, away from its border, its cross and its label.
QColor CellFill(const QImage& image, int channel) {
  const ChannelCell cell = CellOf(channel);
  return image.pixelColor(cell.X1 + 2, cell.Y2 - 3);
}

// A tenth of a second of silence: 8 kHz, 16-bit mono PCM.
QByteArray SilentWav() {
  const int samples = 800, dataBytes = 2 * samples;
  QByteArray wav;
  auto u32 = [&wav](uint32_t v) {
    for (int i = 0; i < 4; ++i) wav.append(char((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&wav](uint16_t v) {
    wav.append(char(v & 0xFF));
    wav.append(char(v >> 8));
  };
  wav.append("RIFF");
  u32(36 + dataBytes);
  wav.append("WAVEfmt ");
  u32(16);
  u16(1);
  u16(1);
  u32(8000);
  u32(16000);
  u16(2);
  u16(16);
  wav.append("data");
  u32(dataBytes);
  wav.append(QByteArray(dataBytes, '\0'));
  return wav;
}

}  // namespace

class PreShowWorkflowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QObject> scope_;
  ManualTimerPlatform platform_;

  // The small windows of the program beside the bench window.
  struct SmallWindows {
    explicit SmallWindows(fd::platform::Platform& platform, TMainForm& form)
        : memory(platform, &form), external(&form), present(&form) {
      MemoryForm = &memory;
      ExternalWarningForm = &external;
      PresentWarningForm = &present;
    }
    ~SmallWindows() {
      MemoryForm = nullptr;
      ExternalWarningForm = nullptr;
      PresentWarningForm = nullptr;
    }
    TMemoryForm memory;
    TExternalWarningForm external;
    TPresentWarningForm present;
  };

  // The scenario picked with F2, then ГОТОВНОСТЬ and F5: the show runs.
  void StartShow(BenchWindow& w, const QByteArray& text) {
    PickScenario(w, WriteFile(*dir_, "show.txt", text));
    w.Press(Qt::Key_F1);
    w.Press(Qt::Key_F5);
    QVERIFY(w.Form().IsPlaying());
  }

  // F2 in the launch view with the file dialog answered by path.
  void PickScenario(BenchWindow& w, const QString& path) {
    QString filterSeen;
    w.Form().ChooseFile = [&](const QString& filter) {
      filterSeen = filter;
      return path;
    };
    w.Press(Qt::Key_F2);
    QCOMPARE(filterSeen, QStringLiteral("Текстовые файлы|*.txt; *.csv"));
  }

 private slots:
  void init() {
    dir_ = FreshTestDir();
    QVERIFY(dir_->isValid());
    platform_.Messages.clear();
    fd::show::OperatingMode = fd::show::omWait;
    scope_ = std::make_unique<QObject>();
  }
  void cleanup() {
    scope_.reset();
    fd::support::ResetRunLog();
  }

  void searchBuildsThePanelAndReportsTheRemoteControl() {
    // Other operator programs of the five kinds answer the sweep too. A program waits up to 150 ms
    // at random before it answers; these seeds keep their answers 17 ms or more apart (3, 31, 63,
    // 89 and 106 ms), so that none collides with another.
    BenchWindow w(platform_, *dir_,
                  "converters 1\nremote version 0A3\nconsole 5\nconsole 2\nconsole 9\n"
                  "peer 10 version 2 seed 21\npeer 11 version 3 seed 16\npeer 12 version 4 seed 12\n"
                  "peer 13 version 5 seed 22\npeer 14 version 9 seed 18\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    w.Press(Qt::Key_F10);
    QVERIFY(f.Searching);
    QVERIFY(!f.IdleTimer->Enabled());
    // The sweep steps on the registry's timer; the test steps it until the last console's address.
    // It begins with the radio addresses and the peers (240 to 255), then goes round from 0.
    do {
      Manual(f.Controls->ScanTimer()).Fire();
    } while (f.Controls->ScanAddress() >= 240 || f.Controls->ScanAddress() <= 9);
    QTRY_COMPARE_WITH_TIMEOUT(f.Controls->SoftCount(), 5, 5000);

    QList<QStringList> dialogRows;
    WhenDialogShows(scope_.get(), [&](QDialog& dialog) {
      auto* list = dialog.findChild<QTreeWidget*>();
      for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i)
        dialogRows << QStringList{list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1)};
      QTest::keyClick(&dialog, Qt::Key_Return);
    });
    w.Press(Qt::Key_F10);
    QVERIFY(!f.Searching);
    QVERIFY(f.IdleTimer->Enabled());
    // The remote control first, then the programs in the order they answered: ID:instance, kind.
    QVERIFY(!dialogRows.isEmpty());
    QCOMPARE(dialogRows.takeFirst(), (QStringList{"0", "ПДУ(Р) [версия: 0A3]"}));
    std::sort(dialogRows.begin(), dialogRows.end());
    QCOMPARE(dialogRows, (QList<QStringList>{{"FF:0A", "Стандартное ПО управления"},
                                             {"FF:0B", "Расширенное ПО управления"},
                                             {"FF:0C", "ПО тестирования и отладки"},
                                             {"FF:0D", "Резервное ПО управления"},
                                             {"FF:0E", "Неизвестное ПО"}}));
    QVERIFY(LinesAfterStartup().contains("Обнаружено дополнительное устройство, ID=0"));

    // Rows in ID order, whatever order the consoles were found in; the remote control has none.
    QCOMPARE(f.RowCount, 3);
    int lastY = -1;
    for (int i = 0; i < 3; ++i) {
      const int id = QList<int>{2, 5, 9}[i];
      QCOMPARE(f.Rows[i]->objectName(), QStringLiteral("Row%1").arg(id));
      QVERIFY2(f.Rows[i]->text().startsWith(QStringLiteral("%1").arg(id, 3)), qPrintable(f.Rows[i]->text()));
      QVERIFY(f.Rows[i]->y() > lastY);
      lastY = f.Rows[i]->y();
    }
    QCOMPARE(f.CurrentControl, 0);  // the remote control, first in the registry

    // The test view starts on the first console; Up and Down walk the consoles and stop at the ends.
    w.Press(Qt::Key_Tab);
    QVERIFY(f.TestPanel->isVisible());
    const struct {
      Qt::Key key;
      const char* number;
    } walk[] = {{Qt::Key_Up, "2"}, {Qt::Key_Down, "5"}, {Qt::Key_Down, "9"}, {Qt::Key_Down, "9"}, {Qt::Key_Up, "5"}};
    QCOMPARE(f.NumberValue->text(), QStringLiteral("2"));
    for (const auto& step : walk) {
      w.Press(step.key);
      QCOMPARE(f.NumberValue->text(), QString::fromLatin1(step.number));
    }
    QCOMPARE(f.ChannelCountValue->text(), QStringLiteral("16"));
    QCOMPARE(f.VersionValue->text(), QStringLiteral("165"));
  }

  // A scenario loaded before the search: the consoles the search finds get its used-channel marks.
  void aSearchAfterTheScenarioMarksTheChannelsItUses() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 4 version 168 channels 8\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:01.0\t4\t2\ta\r\n0:00:02.0\t4\t7\tb\r\n"));
    QCOMPARE(f.Controls->ConsoleCount(), 0);
    w.Press(Qt::Key_F10);
    do {
      Manual(f.Controls->ScanTimer()).Fire();
    } while (f.Controls->ScanAddress() >= 240 || f.Controls->ScanAddress() <= 4);
    WhenDialogShows(scope_.get(), [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    w.Press(Qt::Key_F10);
    QVERIFY(!f.Searching);
    auto* console = dynamic_cast<fd::devices::TCommonControl*>(f.Controls->FindByID(4));
    QVERIFY(console != nullptr);
    QList<int> used;
    for (int i = 0; i < 8; ++i)
      if (console->ChannelUsed[static_cast<size_t>(i)]) used << i + 1;
    QCOMPARE(used, (QList<int>{2, 7}));
  }

  void channelTestColoursTheGraph() {
    // Channel 2 is not connected and used by the scenario, channel 5 never answers.
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 4 version 168 channels 20 open 2 broken 5\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(4));
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:01.0\t4\t2\tused and open\r\n0:00:02.0\t4\t3\tused\r\n"));
    QCOMPARE(f.List->model()->rowCount(), 2);

    w.Press(Qt::Key_Tab);
    QCOMPARE(f.NumberValue->text(), QStringLiteral("4"));
    QCOMPARE(f.ChannelCountValue->text(), QStringLiteral("20"));
    QCOMPARE(f.VersionValue->text(), QStringLiteral("168"));
    w.Press(Qt::Key_F1);
    QVERIFY(!f.Testing);
    QVERIFY(LinesAfterStartup().contains("Тестирование устройства, ID=4"));
    // The test leaves its journal: the console's channels as measured, the used ones marked.
    const QStringList tests = QDir(dir_->filePath("journal")).entryList({"*_show_test.jsonl"}, QDir::Files);
    QCOMPARE(tests.size(), 1);
    QFile journal(dir_->filePath("journal/" + tests[0]));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QByteArray lines = journal.readAll();
    QVERIFY2(lines.contains("\"kind\":\"channel_test\""), lines.constData());
    QVERIFY2(lines.contains("\"id\":4,\"version\":\"168\",\"channel_count\":20,\"completed\":true,\"channels\":"
                            "[{\"channel\":1,\"state\":\"connected\",\"used\":false},{\"channel\":2,\"state\":"
                            "\"not connected\",\"used\":true},{\"channel\":3,\"state\":\"connected\",\"used\":true}"),
             lines.constData());
    QVERIFY2(lines.contains("{\"channel\":5,\"state\":\"failed\",\"used\":false}"), lines.constData());

    const QImage& image = f.ChannelsGraph->Image();
    const struct {
      int channel;  // 0-based
      QColor fill;
    } cells[] = {{0, kLime}, {1, kBlue}, {2, kLime}, {4, kRed}, {16, kLime}, {19, kLime}, {20, ColorField}};
    for (const auto& cell : cells)
      QVERIFY2(
          CellFill(image, cell.channel) == cell.fill,
          qPrintable(QStringLiteral("channel %1: %2").arg(cell.channel + 1).arg(CellFill(image, cell.channel).name())));
    // The used open channel: red border and a red cross on blue; the used connected one a black cross.
    const ChannelCell open = CellOf(1), used = CellOf(2);
    QVERIFY(ColourNear(image, open.X1 + 4, open.Y1 + 3, kRed));
    QVERIFY(ColourNear(image, open.X2 - 4, open.Y2 - 3, kRed));
    QCOMPARE(image.pixelColor(open.X1 + 15, open.Y2 - 1), kRed);  // the wide border
    QVERIFY(ColourNear(image, used.X1 + 4, used.Y1 + 3, QColor(0, 0, 0)));
    QVERIFY(!ColourNear(image, used.X1 + 4, used.Y1 + 3, kRed));
    // What the operator sees is the image.
    QCOMPARE(
        f.ChannelsGraph->grab().toImage().convertToFormat(QImage::Format_RGB32).pixelColor(open.X1 + 2, open.Y2 - 3),
        kBlue);
  }

  void readingsShowUnderTheNumberFromFirmware268() {
    // 0.15 and 0.25 as measured: 15.0 is connected, 25.0 is not.
    BenchWindow w(platform_, *dir_,
                  "converters 1\nconsole 5 version 268 channels 8 value 1=0.15 value 2=0.25\n"
                  "console 6 version 168 channels 8 open 2\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(5));
    QVERIFY(f.Controls->ProbeAddress(6));
    w.Press(Qt::Key_Tab);
    auto whiteBelowTheNumber = [&f] {
      // Rows 18 and 19 of the second cell: the reading's digits, below where a centred number ends;
      // the text is white on blue, smoothed at its edges.
      const QImage& image = f.ChannelsGraph->Image();
      const ChannelCell cell = CellOf(1);
      int white = 0;
      for (int y = cell.Y1 + 16; y <= cell.Y1 + 17; ++y)
        for (int x = cell.X1 + 2; x <= cell.X2 - 3; ++x) white += image.pixelColor(x, y).red() > 128;
      return white;
    };
    const struct {
      Qt::Key key;  // before the test
      int id;
      QColor first, second;
      bool reading;
    } consoles[] = {{Qt::Key_unknown, 5, kLime, kBlue, true}, {Qt::Key_Down, 6, kLime, kBlue, false}};
    for (const auto& c : consoles) {
      if (c.key != Qt::Key_unknown) w.Press(c.key);
      QCOMPARE(f.NumberValue->text(), QString::number(c.id));
      w.Press(Qt::Key_F1);
      const QImage& image = f.ChannelsGraph->Image();
      QCOMPARE(CellFill(image, 0), c.first);
      QCOMPARE(CellFill(image, 1), c.second);
      QCOMPARE(whiteBelowTheNumber() > 0, c.reading);
    }
    auto* hv = dynamic_cast<fd::devices::TCommonControl*>(f.Controls->Items(0));
    QCOMPARE(hv->ChannelValue[0], 15.0);
    QCOMPARE(hv->ChannelValue[1], 25.0);
  }

  void stopDuringTestAllEndsAfterTheCurrentChannel() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3 channels 16\nconsole 6 channels 16\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    QVERIFY(f.Controls->ProbeAddress(6));
    w.Press(Qt::Key_Tab);
    w.Press(Qt::Key_Down);
    QCOMPARE(f.NumberValue->text(), QStringLiteral("6"));
    // F3 arrives while the first channel of the first console is measured.
    bool searchRefused = false, tabRefused = false;
    QTimer::singleShot(0, [&] {
      w.Press(Qt::Key_F10);
      searchRefused = !f.Searching;
      w.Press(Qt::Key_Tab);
      tabRefused = f.IsTestView();
      w.Press(Qt::Key_F3);
    });
    w.Press(Qt::Key_F2);
    QVERIFY(searchRefused);
    QVERIFY(tabRefused);
    QVERIFY(!f.Testing);
    const QStringList tests = LinesAfterStartup().filter("Тестирование устройства");
    QCOMPARE(tests, QStringList{"Тестирование устройства, ID=3"});
    auto* first = dynamic_cast<fd::devices::TCommonControl*>(f.Controls->Items(0));
    auto* second = dynamic_cast<fd::devices::TCommonControl*>(f.Controls->Items(1));
    QCOMPARE(int(first->ChannelState[0]), 1);
    QCOMPARE(int(first->ChannelState[15]), 0);
    QCOMPARE(int(second->ChannelState[0]), 0);
    QCOMPARE(f.CurrentControl, 0);
    QCOMPARE(f.NumberValue->text(), QStringLiteral("3"));
  }

  void unconnectedConsoleCancelledWritesNothing() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 7 version 168 channels 8\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(7));
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:01.0\t3\t1\ta\r\n0:00:02.0\t3\t2\tb\r\n0:00:03.0\t7\t1\tc\r\n"));
    w.Bench().Segment().ClearWireLog();
    QVERIFY(f.SaveBtn->isEnabled());
    QVERIFY(f.CheckBtn->isEnabled());

    for (Qt::Key key : {Qt::Key_F8, Qt::Key_F9}) {
      QString heading, memo;
      WhenDialogShows(scope_.get(), [&](QDialog& dialog) {
        heading = small.present.Label1->text();
        memo = small.present.Memo->toPlainText();
        QTest::mouseClick(small.present.CancelBtn, Qt::LeftButton);
        (void)dialog;
      });
      w.Press(key);
      QCOMPARE(heading, QStringLiteral("В сценарии обнаружены неподключенные пульты..."));
      QCOMPARE(memo, QStringLiteral("3"));
      QVERIFY(w.Bench().Segment().WireLog().empty());
      QVERIFY(!small.memory.isVisible());
      QVERIFY(platform_.Messages.empty());
      QVERIFY(f.IdleTimer->Enabled());
    }
  }

  // F8: the fit of every cue first (a fault, no question), then the unconnected consoles, the
  // times and the channel use, each asked only when the one before let the write go on; F9 asks
  // the unconnected consoles only. "Отмена" anywhere sends nothing.
  void preflightChecksComeInOrderAndOnlyGoingOnSendsAnything() {
    const QString unconnected = "В сценарии обнаружены неподключенные пульты...",
                  times = "Сценарий может быть воспроизведен некорректно...";
    // Console 9 is not there, time 0 troubles the times check, channel 0 the channel check.
    const QByteArray doubtful = "0:00:00.0\t3\t1\ta\r\n0:00:01.0\t9\t1\tb\r\n0:00:02.0\t3\t0\tc\r\n";
    const QByteArray unfit = "0:00:01.0\t9\t1\ta\r\n0:00:02.0\t3\t600\tb\r\n";
    const struct {
      Qt::Key key;
      const QByteArray& scenario;
      int cancelAt;  // the dialog answered with "Отмена" (0-based), -1: always "Продолжить"
      QStringList headings;
      const char* message;  // the one message box, or nullptr
      bool sent;
    } cases[] = {
        {Qt::Key_F8, unfit, -1, {}, "Ошибка сценария (строка: 2). Канал 600 вне диапазона 0..511.", false},
        {Qt::Key_F9, unfit, -1, {}, "Ошибка сценария (строка: 2). Канал 600 вне диапазона 0..511.", false},
        {Qt::Key_F8, doubtful, -1, {unconnected, times, times}, nullptr, true},
        {Qt::Key_F8, doubtful, 0, {unconnected}, nullptr, false},
        {Qt::Key_F8, doubtful, 1, {unconnected, times}, nullptr, false},
        {Qt::Key_F8, doubtful, 2, {unconnected, times, times}, nullptr, false},
        {Qt::Key_F9, doubtful, -1, {unconnected}, nullptr, true},
    };
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3 version 168 channels 8\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    for (const auto& c : cases) {
      PickScenario(w, WriteFile(*dir_, "show.txt", c.scenario));
      w.Bench().Segment().ClearWireLog();
      platform_.Messages.clear();
      QStringList headings, memos;
      QTimer answer;
      connect(&answer, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != &small.present) return;
        headings << small.present.Label1->text();
        memos << small.present.Memo->toPlainText();
        const bool cancel = headings.size() - 1 == c.cancelAt;
        QTest::mouseClick(cancel ? small.present.CancelBtn : small.present.ContinueBtn, Qt::LeftButton);
      });
      answer.start(10);
      w.Press(c.key);
      answer.stop();
      const QString name = QStringLiteral("%1 %2 cancel at %3")
                               .arg(c.key == Qt::Key_F8 ? "F8" : "F9")
                               .arg(c.scenario.size())
                               .arg(c.cancelAt);
      QVERIFY2(headings == c.headings, qPrintable(name + ": " + headings.join(" | ")));
      QCOMPARE(platform_.Messages.size(), size_t{c.message != nullptr});
      if (c.message) QCOMPARE(platform_.Messages[0].Text, std::string(c.message));
      QVERIFY2(w.Bench().Segment().WireLog().empty() != c.sent, qPrintable(name));
      if (headings.size() == 3)
        QCOMPARE(
            memos[2],
            QStringLiteral(
                "строка 3: 0:00:02.000  пульт 3, канал 0 вне 1..512: сохраняется, но в прямом режиме не срабатывает"));
    }
  }

  void writeAndVerifyEndInTheirMessages() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3 version 168 channels 8\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    // Times after zero and in order: neither check objects.
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:01.0\t3\t1\ta\r\n0:00:02.5\t3\t4\tb\r\n"));
    w.Bench().Segment().ClearWireLog();

    w.Press(Qt::Key_F8);
    QCOMPARE(small.memory.LastResult(), 0);
    QCOMPARE(small.memory.TextLabel->text(), QStringLiteral("Запись сценария в пульты..."));
    QVERIFY(!w.Bench().Segment().WireLog().empty());
    QVERIFY(platform_.Messages.empty());
    w.Press(Qt::Key_F9);
    QCOMPARE(small.memory.LastResult(), 0);
    QCOMPARE(small.memory.TextLabel->text(), QStringLiteral("Проверка сценария в пультах..."));
    QVERIFY(platform_.Messages.empty());

    // A console that stops answering fails the verify with the time-out message.
    w.Bench().SetPowered(3, false);
    w.Press(Qt::Key_F9);
    QCOMPARE(small.memory.LastResult(), -3);
    QCOMPARE(platform_.Messages.size(), size_t{1});
    QCOMPARE(platform_.Messages[0].Text, std::string("Ошибка передачи данных (истекло время ожидания)."));
    QCOMPARE(platform_.Messages[0].Caption, std::string("Ошибка"));
    QVERIFY(!small.memory.isVisible());
    QVERIFY(f.IdleTimer->Enabled());
    // Each run left a journal beside the run log (the second verify got a name of its own).
    const QStringList journals = QDir(dir_->filePath("journal")).entryList(QDir::Files, QDir::Name);
    QCOMPARE(journals.size(), 3);
    QFile last(dir_->filePath("journal/" + journals[1]));
    QVERIFY(last.open(QIODevice::ReadOnly));
    QVERIFY2(last.readAll().contains("\"event\":\"verify\",\"wall\""), qPrintable(journals.join(' ')));
    // The write's journal says what each console took.
    QFile write(dir_->filePath("journal/" + journals.filter("_write.jsonl").value(0)));
    QVERIFY(write.open(QIODevice::ReadOnly));
    const QByteArray written = write.readAll();
    QVERIFY2(written.contains("\"pass\":\"write\",\"result\":\"OK\",\"code\":0,\"consoles\":[{\"console\":3,"
                              "\"cues\":2,\"records\":2}]"),
             written.constData());
  }

  void scenarioAndSoundtrackKeys() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:01.0\t3\t1\tfirst\r\n0:00:02.0\t3\t12\tsecond\r\n"));
    QStringList row;
    for (int column = 0; column < 4; ++column) row << f.List->model()->index(1, column).data().toString();
    QCOMPARE(row, (QStringList{"0:00:02.0", "3", "12", "second"}));
    // A cancelled dialog keeps the scenario; a missing file is reported and empties the list.
    PickScenario(w, QString());
    QCOMPARE(f.List->model()->rowCount(), 2);
    PickScenario(w, dir_->filePath("missing.txt"));
    QCOMPARE(f.List->model()->rowCount(), 0);
    QCOMPARE(platform_.Messages.size(), size_t{1});
    QCOMPARE(platform_.Messages[0].Caption, std::string("Ошибка"));
    QCOMPARE(platform_.Messages[0].Text, std::string("File not found"));

    // F3: a file that is no sound is refused; with none loaded the LED stays unlit.
    QString filter;
    f.ChooseFile = [&](const QString& asked) {
      filter = asked;
      return WriteFile(*dir_, "noise.wav", "not a sound");
    };
    w.Press(Qt::Key_F3);
    QCOMPARE(filter, QStringLiteral("Аудиофайлы|*.wav; *.mp3; *.wma"));
    QCOMPARE(platform_.Messages.back().Text, std::string("Ошибка загрузки фонограммы"));
    QCOMPARE(f.SoundLoadedLed->Fill(), ColorBack);

    // A sound lights "Загружена"; F3 again unloads it without asking for a file.
    const size_t messages = platform_.Messages.size();
    f.ChooseFile = [&](const QString&) { return WriteFile(*dir_, "silence.wav", SilentWav()); };
    w.Press(Qt::Key_F3);
    QVERIFY(f.Player->Soundtrack->Loaded());
    QCOMPARE(f.SoundLoadedLed->Fill(), ColorOn);
    QCOMPARE(platform_.Messages.size(), messages);
    int asked = 0;
    f.ChooseFile = [&](const QString&) {
      ++asked;
      return QString();
    };
    w.Press(Qt::Key_F3);
    QCOMPARE(asked, 0);
    QVERIFY(!f.Player->Soundtrack->Loaded());
    QCOMPARE(f.SoundLoadedLed->Fill(), ColorBack);
  }

  // "Воспроизведение": off in ОЖИДАНИЕ, flashing in ГОТОВНОСТЬ with a soundtrack loaded, lit while
  // it plays, flashing again after the stop.
  void soundPlayLedFollowsTheModeAndTheSound() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    PickScenario(w, WriteFile(*dir_, "show.txt", "0:00:30.0\t3\t1\tlate\r\n"));
    f.ChooseFile = [&](const QString&) { return WriteFile(*dir_, "silence.wav", SilentWav()); };
    w.Press(Qt::Key_F3);
    QVERIFY(f.Player->Soundtrack->Loaded());
    // Four flash phases: how often the LED was lit.
    auto litPhases = [&f] {
      int lit = 0;
      for (int i = 0; i < 4; ++i) {
        f.ErrFlashTimerTimer();
        lit += f.SoundPlayLed->Fill() == ColorOn;
      }
      return lit;
    };
    const struct {
      Qt::Key key;  // Qt::Key_unknown: none
      int lit;      // of four phases
    } steps[] = {{Qt::Key_unknown, 0}, {Qt::Key_F1, 2}, {Qt::Key_F5, 4}, {Qt::Key_F6, 2}, {Qt::Key_F1, 0}};
    for (const auto& step : steps) {
      if (step.key != Qt::Key_unknown) w.Press(step.key);
      QCOMPARE(litPhases(), step.lit);
    }
  }

  // Each row as the operator reads it under "Время", "Пульт", "Канал" and "Комментарии": the time
  // as written, the channel as numbered in the file (a typo of 0 shows as 0), no channel for a
  // motion cue, the comment from Windows-1251.
  void cueListRowsShowEachKindOfCue() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    const struct {
      QByteArray line;
      QStringList row;
    } cases[] = {
        {"0:00:01.0\t3\t12\tordinary cue", {"0:00:01.0", "3", "12", "ordinary cue"}},
        {"0:00:02.0\t3\t0\tchannel typo", {"0:00:02.0", "3", "0", "channel typo"}},
        {"0:00:03.0\t7\t#C#50\tcentre", {"0:00:03.0", "7", "", "centre"}},
        {"0:00:04.0\t7\t#LT#2.5#80\tleft turn", {"0:00:04.0", "7", "", "left turn"}},
        {"5 3 511 \xD4\xE8\xED\xE0\xEB", {"5", "3", "511", QStringLiteral("Финал")}},
        {"0:00:06\t200\t1", {"0:00:06", "200", "1", ""}},
    };
    QByteArray text;
    for (const auto& c : cases) text += c.line + "\r\n";
    PickScenario(w, WriteFile(*dir_, "show.txt", text));
    const QAbstractItemModel& model = *f.List->model();
    QCOMPARE(model.rowCount(), int(std::size(cases)));
    QCOMPARE(model.columnCount(), 4);
    for (int i = 0; i < model.rowCount(); ++i) {
      QStringList row;
      for (int column = 0; column < 4; ++column) row << model.index(i, column).data().toString();
      QCOMPARE(row, cases[i].row);
    }
    // The show position selects its row: Enter's choice and the player's progress alike.
    for (int next : {4, 1, 5}) {
      f.Player->NextCue = next;
      f.PlayerProgress(f.Project->Items(next).TimeMs);
      QCOMPARE(f.List->currentIndex().row(), next);
      QCOMPARE(f.List->selectionModel()->selectedRows().size(), 1);
      QCOMPARE(f.List->selectionModel()->selectedRows().first().row(), next);
    }
  }

  void readingsUnderTheChannelNumber() {
    const struct {
      double value;
      char point;
      const char* text;
    } cases[] = {{15.0, '.', "15.0"}, {25.0, ',', "25,0"}, {-12.34, '.', "-12.3"},
                 {0.05, ',', "0,1"},  {0.0, '.', "0.0"},   {123456.7, '.', "123456.7"}};
    for (const auto& c : cases) QCOMPARE(ReadingText(c.value, QLatin1Char(c.point)), QString::fromLatin1(c.text));
    // Cells: 16 to a line, 32 x 24 pixels apart.
    QCOMPARE(CellOf(0).X1, 2);
    QCOMPARE(CellOf(17).X1, 34);
    QCOMPARE(CellOf(17).Y2, 48);
  }

  void commandLineFilesOpenAsIfPicked() {
    const QString scenario = WriteFile(*dir_, "show.txt", "0:00:01.0\t3\t1\tfirst\r\n");
    const QString noise = WriteFile(*dir_, "noise.wav", "not a sound");
    const struct {
      QString scenario, soundtrack;
      int rows;
      std::vector<std::string> messages;
    } cases[] = {
        {scenario, QString(), 1, {}},
        {dir_->filePath("missing.txt"), QString(), 0, {"File not found"}},
        {scenario, noise, 1, {"Ошибка загрузки фонограммы"}},
        {dir_->filePath("missing.txt"), noise, 0, {"File not found", "Ошибка загрузки фонограммы"}},
    };
    for (const auto& c : cases) {
      platform_.Messages.clear();
      BenchWindow w(platform_, *dir_, "converters 1\nconsole 3\n", [&](CommandLineOptions& options) {
        options.ScenarioPath = c.scenario.toStdString();
        options.SoundtrackPath = c.soundtrack.toStdString();
      });
      w.ShowActive();
      w.Form().OpenStartupFiles();
      QCOMPARE(w.Form().List->model()->rowCount(), c.rows);
      std::vector<std::string> shown;
      for (const auto& m : platform_.Messages) {
        QCOMPARE(m.Caption, std::string("Ошибка"));
        shown.push_back(m.Text);
      }
      QCOMPARE(shown, c.messages);
      QCOMPARE(w.Form().SoundLoadedLed->Fill(), ColorBack);
    }
  }

  void cueListFollowsTheShow() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3 version 168 channels 16\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    QByteArray text;
    for (int i = 0; i < 40; ++i)
      text += QStringLiteral("0:00:%1.%2\t3\t%3\tcue\r\n")
                  .arg(i / 10, 2, 10, QLatin1Char('0'))
                  .arg(i % 10)
                  .arg(i % 16 + 1)
                  .toLatin1();
    StartShow(w, text);
    QTest::qWait(1000);
    // A pass sends a slice of what is due at most; the passes after it bring the rest.
    for (int pass = 0; pass < 10; ++pass) Manual(*f.Player->ShowTimer).Fire();
    // and the list follows at the next progress report.
    QTest::qWait(120);
    Manual(*f.Player->ShowTimer).Fire();
    const int next = f.Player->NextCue;
    QVERIFY2(next >= 5 && next < 40, qPrintable(QString::number(next)));
    QCOMPARE(f.List->currentIndex().row(), next);
    // The selected cue and about half a page after it are in view.
    const QRect view = f.List->viewport()->rect();
    QVERIFY(view.contains(f.List->visualRect(f.List->model()->index(next, 0))));
    const int rows = view.height() / f.List->rowHeight(0);
    const int ahead = std::min(39, next + rows / 2);
    QVERIFY(view.contains(f.List->visualRect(f.List->model()->index(ahead, 0))));
    QVERIFY(f.TimeLabel->text() >= QStringLiteral("0:00:01.0"));
    w.Press(Qt::Key_F6);
    QVERIFY(!f.IsPlaying());

    // Another scenario (F2) starts at its beginning, as after F4.
    QVERIFY(f.Player->NextCue > 0);
    w.Press(Qt::Key_F1);  // back to ОЖИДАНИЕ, where F2 loads
    PickScenario(w, WriteFile(*dir_, "other.txt", text));
    QCOMPARE(f.Player->Clock, 0);
    QCOMPARE(f.Player->NextCue, 0);
    QCOMPARE(f.TimeLabel->text(), QStringLiteral("0:00:00.0"));
  }

  // The converter pulled out in the middle of a show: the show stops, the operator is told why and
  // that its stop is waiting, and the stop goes out when the converter is back; nothing restarts.
  void aConverterLostDuringTheShowStopsItAndDeliversTheStopLater() {
    BenchWindow w(platform_, *dir_, "converters 1\nconsole 3 version 168 channels 16\n");
    SmallWindows small(platform_, w.Form());
    w.ShowActive();
    TMainForm& f = w.Form();
    QVERIFY(f.Controls->ProbeAddress(3));
    QByteArray text;
    for (int i = 0; i < 40; ++i)
      text += QStringLiteral("0:00:%1.0\t3\t%2\tcue\r\n").arg(i, 2, 10, QLatin1Char('0')).arg(i % 16 + 1).toLatin1();
    StartShow(w, text);
    QTest::qWait(300);
    const QStringList before = LinesAfterStartup();

    w.Bench().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(f.LinkLost, 5000);
    QVERIFY(!f.IsPlaying());
    QVERIFY(f.StopUndelivered);
    QVERIFY(w.Warning().isVisible());
    QCOMPARE(w.Warning().Panel->text(),
             QStringLiteral("Показ остановлен: нет связи с конвертером RS485. Стоп не доставлен."));

    w.Bench().Replug();
    QTRY_VERIFY_WITH_TIMEOUT(!f.LinkLost, 5000);
    QVERIFY(!f.StopUndelivered);
    QCOMPARE(f.Port->UndeliveredStops(), 0);
    QCOMPARE(w.Warning().Panel->text(), QStringLiteral("Показ остановлен: нет связи с конвертером RS485."));
    QTest::qWait(1200);
    QVERIFY(!f.IsPlaying());
    const QStringList after = LinesAfterStartup().mid(before.size()).filter(QRegularExpression("^(?!Запуск)"));
    const QStringList expected{
        "Ошибка преобразователя RS485 - нет связи", "Стоп не доставлен: нет связи с преобразователем RS485",
        "Показ остановлен: нет связи с преобразователем RS485", "Работа преобразователя RS485 восстановлена",
        "Стоп доставлен после восстановления связи"};
    QCOMPARE(after, expected);
  }
};

QTEST_MAIN(PreShowWorkflowTest)
#include "test_pre_show_workflow.moc"
