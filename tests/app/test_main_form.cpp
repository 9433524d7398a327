#include <locale.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>
#include <ctime>
#include <memory>

#include "app/app_test_support.h"
#include "app/color_scheme.h"
#include "app/main_form.h"
#include "audio/bass_files.h"
#include "show/operating_mode.h"
#include "support/cp1251.h"
#include "support/run_log.h"

using namespace fd::app;
using fd::app::testing::RecordingPlatform;

namespace {

const QString kVersion = QStringLiteral(FIRNADESK_EXPECTED_VERSION);
const QColor kBlueBack(0x24, 0x5E, 0xDC);
const QColor kBluePanel(0x50, 0x80, 0xE2);
const QColor kBlueOffText(0xBB, 0xD0, 0xF2);
const QColor kBlueField(0xDB, 0xE7, 0xF9);
const QColor kNavy(0x00, 0x00, 0x80);

// 6 December 2026, noon, local time: the run log of that day is named 06.12.2026_<n>.log.
std::time_t TestDay() {
  std::tm day{};
  day.tm_year = 2026 - 1900;
  day.tm_mon = 11;
  day.tm_mday = 6;
  day.tm_hour = 12;
  day.tm_isdst = -1;
  return std::mktime(&day);
}

QColor Background(const QWidget* w) { return w->palette().color(QPalette::Window); }
QColor TextColor(const QLabel* l) { return l->palette().color(QPalette::WindowText); }

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  bool russianDates_ = false;
  RecordingPlatform platform_;

  QString LogsDir() const { return dir_->filePath("logs"); }

  std::unique_ptr<TMainForm> MakeForm(uint8_t logLevel = 0) {
    CommandLineOptions options;
    options.LogLevel = logLevel;
    StartupEnvironment env;
    env.ProgramFolder = dir_->path().toStdString() + "/";
    env.Now = TestDay;
    return std::make_unique<TMainForm>(platform_, options, env);
  }

  static void ShowActive(TMainForm& form) {
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
  }

  static void StoreScheme(const QVariant& value) {
    QSettings settings("tollwick", "firnadesk");
    settings.setValue("ColorScheme", value);
    settings.sync();
  }

  static QVariant StoredScheme() { return QSettings("tollwick", "firnadesk").value("ColorScheme"); }

  // The log's lines in UTF-8, each without its time stamp (which is checked on the way).
  static QStringList LogLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {"<no log file " + path + ">"};
    const QByteArray raw = file.readAll();
    const QString text = QString::fromStdString(fd::support::Cp1251ToUtf8(raw.toStdString()));
    QStringList lines = text.split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    static const QRegularExpression stamp(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d: )");
    for (QString& line : lines) {
      const auto match = stamp.match(line);
      if (!match.hasMatch()) return {"<line without time stamp: " + line + ">"};
      line = line.mid(match.capturedLength());
    }
    return lines;
  }

  static void CheckSchemeZeroPaint(const TMainForm& f) {
    QCOMPARE(ColorBack, kBlueBack);
    QCOMPARE(ColorPanel, kBluePanel);
    QCOMPARE(ColorOffText, kBlueOffText);
    QCOMPARE(ColorLabelText, QColor(Qt::white));
    QCOMPARE(ColorValueText, QColor(Qt::white));
    QCOMPARE(ColorField, kBlueField);

    const QWidget* backs[] = {&f, f.LaunchButtons, f.CurrentConsoleBar, f.ChannelTestBar, f.ListHeader};
    for (const QWidget* w : backs) QCOMPARE(Background(w), kBlueBack);
    for (const QWidget* w : {f.ConsoleInfo, f.LegendPanel, f.DevPanel}) QCOMPARE(Background(w), kBluePanel);
    // "Неизвестно" has the colour of an untested channel's cell, the field's.
    QCOMPARE(Background(f.findChild<QWidget*>(QStringLiteral("LegendUnknownSwatch"))), kBlueField);
    for (const QLabel* l : {f.CurrentConsoleBar, f.ChannelTestBar, f.LegendCaption, f.RadioCaption, f.DevicesCaption,
                            f.DiagnosticsCaption, f.SoundCaption})
      QCOMPARE(TextColor(l), kBlueOffText);
    for (const QLabel* l : f.ListHeaderLabels) QCOMPARE(TextColor(l), kBlueOffText);
    for (const QLabel* l : f.RadioNumberLabels) QCOMPARE(TextColor(l), kBlueOffText);
    for (const QLabel* l : {f.NumberLabel, f.ChannelCountLabel, f.VersionLabel, f.StateCaption, f.ModeCaption})
      QCOMPARE(TextColor(l), QColor(Qt::white));
    for (const QLabel* l : f.LegendTexts) QCOMPARE(TextColor(l), QColor(Qt::white));
    for (const QLabel* l : {f.NumberValue, f.ChannelCountValue, f.VersionValue})
      QCOMPARE(TextColor(l), QColor(Qt::white));
    for (const LedShape* led : f.RadioLeds) QCOMPARE(led->Fill(), kBlueBack);
    QCOMPARE(Background(f.TimeLabel), kBlueField);
    QCOMPARE(f.List->palette().color(QPalette::Base), kBlueField);
    QCOMPARE(f.SoundLoadedLed->Fill(), kBlueBack);
    QCOMPARE(f.SoundPlayLed->Fill(), kBlueBack);
    QCOMPARE(TextColor(f.SoundLoadedLabel), kBlueOffText);
    QCOMPARE(TextColor(f.SoundPlayLabel), kBlueOffText);
  }

 private slots:
  // The run log is named and stamped in the user's date and time formats; these tests read the
  // Russian ones, and are skipped (saying so) on a system that lacks that locale.
  void initTestCase() {
    locale_t russian = newlocale(LC_TIME_MASK, "ru_RU.UTF-8", static_cast<locale_t>(0));
    russianDates_ = russian != static_cast<locale_t>(0);
    if (russianDates_) freelocale(russian);
    qputenv("LC_ALL", "ru_RU.UTF-8");
  }

  void init() {
    static const QByteArrayList kReadTheLogName = {
        "startupClearsTheStateAndNamesTheLog", "ctrlF10StoresTheOtherSchemeWarnsAndCloses",
        "closeRefusedWhileTheShowPlays", "bannerAndExitLinesReachTheLogWhenTheLevelIsRaised",
        "runLogTakesTheFirstFreeNumber"};
    if (!russianDates_ && kReadTheLogName.contains(QTest::currentTestFunction()))
      QSKIP("locale ru_RU.UTF-8 is not installed here (scripts/setup.sh generates it)");
    dir_ = fd::app::testing::FreshTestDir();
    QVERIFY(dir_->isValid());
    QVERIFY2(QSettings("tollwick", "firnadesk").fileName().startsWith(dir_->path()), "settings not redirected");
    ResetSchemeColors();
    platform_.Messages.clear();
  }

  void cleanup() { fd::support::ResetRunLog(); }

  void startupClearsTheStateAndNamesTheLog() {
    fd::show::OperatingMode = fd::show::omLaunch;
    auto form = MakeForm();
    QCOMPARE(int(fd::show::OperatingMode), int(fd::show::omWait));
    QCOMPARE(form->FlashPhase, 0);
    QCOMPARE(form->RowCount, 0);
    QCOMPARE(form->PollIndex, 0);
    QCOMPARE(form->CurrentControl, 0);
    QVERIFY(!form->Searching && !form->Testing && !form->LinkLost);
    QCOMPARE(int(fd::support::LogLevel.load()), 0);
    QCOMPARE(QString::fromStdString(fd::support::LogFileName()), dir_->path() + "/logs/06.12.2026_0.log");
    // Level 0: neither the folder nor the file is made, and nothing is written to the settings.
    QVERIFY(!QFileInfo::exists(LogsDir()));
    QVERIFY(!QFileInfo::exists(QSettings("tollwick", "firnadesk").fileName()));

    QCOMPARE(form->IdleTimer->Interval(), 500u);
    QVERIFY(!form->IdleTimer->Enabled());
    QCOMPARE(form->ErrFlashTimer->Interval(), 700u);
    QVERIFY(form->ErrFlashTimer->Enabled());
    form->show();
    QVERIFY(form->IdleTimer->Enabled());
  }

  void captionCarriesTheVersion() {
    auto form = MakeForm();
    QVERIFY(!form->windowTitle().contains("версия"));
    form->show();
    QCOMPARE(form->windowTitle(), "Управление запуском (версия: " + kVersion + ")");
  }

  void missingSchemeUsesSystemColours() {
    auto form = MakeForm();
    QCOMPARE(ColorScheme, 1);
    const QPalette system = QApplication::palette();
    const QColor face = system.color(QPalette::Button);
    const QColor text = system.color(QPalette::WindowText);
    QCOMPARE(ColorBack, face);
    QCOMPARE(ColorPanel, face);
    QCOMPARE(ColorOffText, text);
    QCOMPARE(ColorLabelText, text);
    QCOMPARE(ColorValueText, kNavy);
    QCOMPARE(ColorField, QColor(Qt::white));
    // Untouched by any scheme.
    QCOMPARE(ColorAlarm, QColor(Qt::red));
    QCOMPARE(ColorOn, QColor(0x00, 0xFF, 0x00));
    QCOMPARE(ColorOnText, QColor(Qt::black));

    QCOMPARE(Background(form.get()), face);
    QCOMPARE(Background(form->DevPanel), face);
    QCOMPARE(TextColor(form->DevicesCaption), text);
    QCOMPARE(TextColor(form->NumberLabel), text);
    QCOMPARE(TextColor(form->VersionValue), kNavy);
    QCOMPARE(Background(form->TimeLabel), QColor(Qt::white));
    QCOMPARE(Background(form->findChild<QWidget*>(QStringLiteral("LegendUnknownSwatch"))), QColor(Qt::white));
    QCOMPARE(form->List->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(form->SoundPlayLed->Fill(), face);
  }

  void storedZeroPaintsTheBlueScheme() {
    StoreScheme(0);
    auto form = MakeForm();
    QCOMPARE(ColorScheme, 0);
    CheckSchemeZeroPaint(*form);
    // Fixed colours of the design.
    QCOMPARE(TextColor(form->TimeLabel), kNavy);
    QCOMPARE(form->RS485->Fill(), QColor(0x00, 0xFF, 0x00));
    QCOMPARE(form->RS485->LabelColor(), QColor(Qt::black));
  }

  void strayValuePaintsBlueAndTheSwitchStoresItsDistanceFromOne() {
    StoreScheme(5);
    auto form = MakeForm();
    QCOMPARE(ColorScheme, 5);
    CheckSchemeZeroPaint(*form);
    ShowActive(*form);
    QTest::keyClick(form.get(), Qt::Key_F10, Qt::ControlModifier);
    QCOMPARE(StoredScheme().toInt(), 4);
    QVERIFY(!form->isVisible());
  }

  void unreadableValueCountsAsMissing() {
    StoreScheme(QStringLiteral("blue"));
    auto form = MakeForm();
    QCOMPARE(ColorScheme, 1);
    QCOMPARE(ColorBack, QApplication::palette().color(QPalette::Button));
  }

  void ctrlF10StoresTheOtherSchemeWarnsAndCloses() {
    auto form = MakeForm(1);
    ShowActive(*form);
    QTest::keyClick(form.get(), Qt::Key_F10, Qt::ControlModifier);
    QCOMPARE(StoredScheme(), QVariant(0));
    QCOMPARE(platform_.Messages.size(), size_t{1});
    QCOMPARE(QString::fromStdString(platform_.Messages[0].Text),
             QString("Изменения вступят в силу после перезагрузки программы."));
    QCOMPARE(QString::fromStdString(platform_.Messages[0].Caption), QString("Предупреждение"));
    QVERIFY(!form->isVisible());
    QVERIFY(LogLines(QString::fromStdString(fd::support::LogFileName())).contains("Выход из ПО управления"));

    // The next start takes the stored scheme.
    form.reset();
    ResetSchemeColors();
    auto next = MakeForm();
    QCOMPARE(ColorScheme, 0);
    QCOMPARE(Background(next.get()), kBlueBack);
  }

  void schemeThatCannotBeStoredIsReported() {
    // A folder where the settings file should be makes every write fail.
    QVERIFY(QDir().mkpath(QSettings("tollwick", "firnadesk").fileName()));
    auto form = MakeForm();
    ShowActive(*form);
    QTest::keyClick(form.get(), Qt::Key_F10, Qt::ControlModifier);
    QCOMPARE(platform_.Messages.size(), size_t{1});
    QCOMPARE(QString::fromStdString(platform_.Messages[0].Caption), QString("Ошибка"));
    QVERIFY(form->isVisible());
    QCOMPARE(ColorScheme, 1);
  }

  void ctrlXCloses() {
    StoreScheme(1);
    auto form = MakeForm();
    ShowActive(*form);
    QTest::keyClick(form.get(), Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!form->isVisible());
    QVERIFY(platform_.Messages.empty());
    QCOMPARE(StoredScheme(), QVariant(1));
  }

  void closeRefusedWhileTheShowPlays() {
    auto form = MakeForm(1);
    ShowActive(*form);
    form->Player->Start(0);
    QVERIFY(form->IsPlaying());
    QVERIFY(!form->close());
    QTest::keyClick(form.get(), Qt::Key_X, Qt::ControlModifier);
    QVERIFY(form->isVisible());
    QVERIFY(platform_.Messages.empty());
    const QString log = QString::fromStdString(fd::support::LogFileName());
    QVERIFY(!LogLines(log).contains("Выход из ПО управления"));

    form->Player->Stop(true);
    QVERIFY(!form->IsPlaying());
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QVERIFY(LogLines(log).contains("Выход из ПО управления"));
  }

  void bannerAndExitLinesReachTheLogWhenTheLevelIsRaised() {
    auto form = MakeForm(1);
    QVERIFY(QFileInfo(LogsDir()).isDir());
    QCOMPARE(int(fd::support::LogLevel.load()), 1);
    form->show();
    QVERIFY(form->close());
    const QString dashes(53, '-');
    // Between the banner and the exit lines, start-up tells whether the audio device opened.
    const QString audio =
        fd::audio::AudioReady() ? "Инициализация аудиоустройства - успешно" : "Инициализация аудиоустройства - ошибка";
    const QStringList expected{
        dashes, "Запуск ПО управления, версия: " + kVersion, dashes, audio, dashes, "Выход из ПО управления", dashes};
    QCOMPARE(LogLines(LogsDir() + "/06.12.2026_0.log"), expected);
  }

  void levelZeroWritesNoLog() {
    auto form = MakeForm();
    form->show();
    QVERIFY(form->close());
    QVERIFY(!QFileInfo::exists(LogsDir()));
  }

  void runLogTakesTheFirstFreeNumber() {
    QVERIFY(QDir().mkpath(LogsDir()));
    for (const char* name : {"06.12.2026_0.log", "06.12.2026_2.log", "05.12.2026_1.log"}) {
      QFile f(LogsDir() + "/" + name);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto form = MakeForm(1);
    QCOMPARE(QString::fromStdString(fd::support::LogFileName()), LogsDir() + "/06.12.2026_1.log");
    QCOMPARE(LogLines(LogsDir() + "/06.12.2026_1.log").value(1), "Запуск ПО управления, версия: " + kVersion);
    QCOMPARE(QFileInfo(LogsDir() + "/06.12.2026_2.log").size(), 0);
    form.reset();

    fd::support::ResetRunLog();
    auto third = MakeForm(1);
    QCOMPARE(QString::fromStdString(fd::support::LogFileName()), LogsDir() + "/06.12.2026_3.log");
  }

  void componentsCarryTheirDesignNames() {
    auto form = MakeForm();
    const char* names[] = {"DevPanel",       "TestBtn",
                           "SearchBtn",      "LaunchPanel",
                           "TestPanel",      "WaitLed",
                           "WorkLed",        "DirectLed",
                           "AutoLed",        "SoundLoadedLed",
                           "SoundPlayLed",   "SoundReadyLed",
                           "RS485",          "List",
                           "ChannelsGraph",  "DownBtn",
                           "UpBtn",          "SoundLoadedLabel",
                           "SoundPlayLabel", "SoundReadyLabel",
                           "ProjectBtn",     "SoundBtn",
                           "BeginBtn",       "StartBtn",
                           "StopBtn",        "SaveBtn",
                           "CheckBtn",       "ControlTestBtn",
                           "TestAllBtn",     "TestStopBtn",
                           "TimeLabel"};
    for (const char* name : names) QVERIFY2(form->findChild<QWidget*>(name) != nullptr, name);
    for (int id = 240; id <= 254; ++id) {
      auto* led = form->findChild<LedShape*>(QString("R%1").arg(id));
      QVERIFY(led != nullptr);
      QCOMPARE(led->size(), QSize(13, 13));
      QCOMPARE(led, form->RadioLeds[size_t(id - 240)]);
    }
    QVERIFY(form->findChild<QAction*>("ExitAction") != nullptr);
    QVERIFY(form->findChild<QAction*>("ColorAction") != nullptr);
    QCOMPARE(form->ExitAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    QCOMPARE(form->ColorAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F10));
    QCOMPARE(form->SoundLoadedLabel, form->SoundLoadedLed->Label());
  }

  void layoutTextsAndSizes() {
    auto form = MakeForm();
    QStringList labels, buttons;
    for (const QLabel* l : form->findChildren<QLabel*>()) labels << l->text();
    for (const QPushButton* b : form->findChildren<QPushButton*>()) buttons << b->text();
    for (const char* text : {"Радиоканал",
                             "240",
                             "244",
                             "245",
                             "249",
                             "250",
                             "254",
                             "Пульты",
                             "Состояние <F1>",
                             "Ожидание",
                             "Работа",
                             "Режим <Shift>+<F1>",
                             "Прямое управление",
                             "Автономный режим",
                             "Фонограмма",
                             "Загружена",
                             "Воспроизведение",
                             "Диагностика",
                             "Аудио",
                             "Конвертер",
                             "Время",
                             "Пульт",
                             "Канал",
                             "Комментарии",
                             "Текущий пульт",
                             "Номер:",
                             "Каналов:",
                             "Версия:",
                             "Тестирование каналов",
                             "Состояние каналов",
                             "Неизвестно",
                             "Не подключен",
                             "Подключен",
                             "Ошибка",
                             "0:00:00.0"})
      QVERIFY2(labels.contains(QString(text)), text);
    for (const char* text :
         {"<TAB> Тест", "<F10> Поиск", "<F2> Сценарий", "<F3> Фонограмма", "<F4> В начало", "<F5> Старт", "<F6> Стоп",
          "<F8> Запись", "<F9> Проверка", "<F1> Проверка", "<F2> Все", "<F3> Стоп"})
      QVERIFY2(buttons.contains(QString(text)), text);

    QCOMPARE(form->findChild<QWidget*>("LeftPanel")->width(), 205);
    for (const QPushButton* b : {form->TestBtn, form->SearchBtn}) {
      QCOMPARE(b->size(), QSize(97, 23));
      QVERIFY(b->isCheckable());
      QVERIFY(!b->isChecked());
    }
    for (const QPushButton* b : {form->ProjectBtn, form->SoundBtn, form->BeginBtn, form->StartBtn, form->StopBtn,
                                 form->SaveBtn, form->CheckBtn})
      QCOMPARE(b->size(), QSize(101, 23));
    for (const QPushButton* b : {form->DownBtn, form->UpBtn, form->ControlTestBtn, form->TestAllBtn, form->TestStopBtn})
      QCOMPARE(b->size(), QSize(105, 23));
    QVERIFY(form->DownBtn->text().isEmpty() && !form->DownBtn->icon().isNull());
    QVERIFY(form->UpBtn->text().isEmpty() && !form->UpBtn->icon().isNull());
    QCOMPARE(form->DownBtn->text(), QString());
    QCOMPARE(form->ControlTestBtn->text(), QString("<F1> Проверка"));
    QCOMPARE(form->TestAllBtn->text(), QString("<F2> Все"));
    QCOMPARE(form->TestStopBtn->text(), QString("<F3> Стоп"));

    for (const LedShape* led : {form->WaitLed, form->WorkLed, form->DirectLed, form->AutoLed, form->SoundLoadedLed,
                                form->SoundPlayLed, form->SoundReadyLed, form->RS485}) {
      QCOMPARE(led->size(), QSize(167, 23));
      QVERIFY(led->Label()->alignment() & Qt::AlignCenter);
      QCOMPARE(led->Label()->font().pixelSize(), 13);
      QVERIFY(led->Label()->font().bold());
    }
    QCOMPARE(form->findChild<QWidget*>("LegendPanel")->width(), 152);
    QCOMPARE(form->TimeLabel->height(), 140);
    QCOMPARE(form->TimeLabel->font().pixelSize(), 107);
    // Every font asks for the design's family first, then the Debian face that stands in for it.
    const QStringList verdana{"Verdana", "DejaVu Sans"}, courier{"Courier New", "Liberation Mono"},
        arial{"Arial", "Liberation Sans"};
    const std::pair<const QWidget*, QStringList> fonts[] = {
        {form.get(), arial},        {form->DevPanel, courier},       {form->List, courier},
        {form->TimeLabel, verdana}, {form->DevicesCaption, verdana}, {form->WaitLed->Label(), verdana}};
    for (const auto& [widget, families] : fonts) QCOMPARE(widget->font().families(), families);
    QCOMPARE(form->DevPanel->font().pixelSize(), 13);
    QCOMPARE(form->DevicesCaption->font().pixelSize(), 11);
    QVERIFY(form->DevicesCaption->font().bold());
    QCOMPARE(form->List->model()->columnCount(), 4);
    QVERIFY(form->List->horizontalHeader()->isHidden());
    QCOMPARE(form->List->columnWidth(0), 108);
    QCOMPARE(form->List->columnWidth(1), 64);
    QCOMPARE(form->List->columnWidth(2), 64);
  }

  void opensMaximisedInTheLaunchView() {
    auto form = MakeForm();
    form->show();
    QVERIFY(form->windowState() & Qt::WindowMaximized);
    QVERIFY(form->LaunchPanel->isVisible());
    QVERIFY(!form->TestPanel->isVisible());
    QVERIFY(!form->RadioGroup->isVisible());
    QVERIFY(form->DevPanel->isVisible());
    // Left column beside the right area, LED groups above the time display above the list.
    QVERIFY(form->DevPanel->mapTo(form.get(), QPoint(0, 0)).x() <
            form->LaunchPanel->mapTo(form.get(), QPoint(0, 0)).x());
    const int ledBottom = form->WaitLed->mapTo(form.get(), QPoint(0, form->WaitLed->height())).y();
    const int timeTop = form->TimeLabel->mapTo(form.get(), QPoint(0, 0)).y();
    const int listTop = form->List->mapTo(form.get(), QPoint(0, 0)).y();
    const int buttonsTop = form->StartBtn->mapTo(form.get(), QPoint(0, 0)).y();
    QVERIFY(ledBottom <= timeTop);
    QVERIFY(timeTop + 140 <= listTop);
    QVERIFY(listTop < buttonsTop);
    // The diagnostics group stands at the right edge.
    const int rightEdge = form->RS485->mapTo(form.get(), QPoint(form->RS485->width(), 0)).x();
    QVERIFY(form->width() - rightEdge < 20);
  }

  void switchedSchemeNumber_data() {
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("stored");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("5") << 5 << 4;
    QTest::newRow("-3") << -3 << 4;
    QTest::newRow("largest") << INT_MAX << INT_MAX - 1;
    QTest::newRow("smallest") << INT_MIN << INT_MAX;
  }
  void switchedSchemeNumber() {
    QFETCH(int, scheme);
    QFETCH(int, stored);
    QCOMPARE(SwitchedColorScheme(scheme), stored);
  }

  void otherSchemeNumbersAssignNothing() {
    SetSchemeColors(7, QApplication::palette());
    QCOMPARE(ColorBack, kBlueBack);
    QCOMPARE(ColorField, kBlueField);
    const QPalette system = QApplication::palette();
    SetSchemeColors(1, system);
    SetSchemeColors(-1, system);
    QCOMPARE(ColorBack, system.color(QPalette::Button));
    QCOMPARE(ColorValueText, kNavy);
    SetSchemeColors(0, system);
    QCOMPARE(ColorBack, kBlueBack);
    QCOMPARE(ColorValueText, QColor(Qt::white));
  }
};

QTEST_MAIN(MainFormTest)
#include "test_main_form.moc"
