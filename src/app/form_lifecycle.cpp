// The life of the main window: start-up, the colour scheme and its switch, showing and closing.
#include <QApplication>
#include <QCloseEvent>
#include <QSettings>
#include <QShowEvent>
#include <filesystem>
#include <system_error>

#include "app/color_scheme.h"
#include "app/main_form.h"
#include "app/widget_paint.h"
#include "show/operating_mode.h"
#include "support/date_text.h"
#include "support/run_log.h"
#include "support/run_log_name.h"
#include "support/version_text.h"

namespace fd::app {

namespace {

const QString kColorSchemeValue = QStringLiteral("ColorScheme");
const std::string kDashLine(53, '-');

}  // namespace

void TMainForm::FormCreate() {
  ReadColorScheme();
  NameRunLog();
  support::WriteLog(kDashLine, 1);
  support::WriteLog("Запуск ПО управления, версия: " + support::ProgramVersionText(), 1);
  support::WriteLog(kDashLine, 1);

  FlashPhase = 0;
  show::OperatingMode = show::omWait;
  Testing = false;
  Searching = false;
  LinkLost = false;
  RowCount = 0;
  PollIndex = 0;
  CurrentControl = 0;

  CreateWorkingObjects();
  ApplyColorScheme();
}

void TMainForm::ReadColorScheme() {
  // Only read here: a first start leaves no trace in the settings.
  QSettings settings(environment_.SettingsOrganization, environment_.SettingsApplication);
  const QVariant stored = settings.value(kColorSchemeValue);
  bool ok = false;
  const int value = stored.isValid() ? stored.toInt(&ok) : 0;
  // A value that is not a whole number counts as missing.
  ColorScheme = ok ? value : 1;
}

void TMainForm::NameRunLog() {
  // Beside the program as always, unless the program cannot write there (installed from the
  // package): then the user's state folder, so the log is not lost without a word.
  records_ = journal::ChooseRecordsPlace(environment_.ProgramFolder, environment_.StateFolder);
  const std::string folder = records_.Folder;
  if (options_.LogLevel > 0) {
    // Asking for a log on the command line means wanting it, so its folder is made if missing.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder) / "logs", ignored);
  }
  const std::string name = support::RunLogFileName(folder, support::ShortDateText(environment_.Now()));
  support::LogLevel = 0;
  support::SetLogFileName(name);
  // The command line may turn the log on; then the banner is the first thing in it.
  support::LogLevel = options_.LogLevel;
}

void TMainForm::ApplyColorScheme() {
  SetSchemeColors(ColorScheme, QApplication::palette());

  for (QWidget* w : {static_cast<QWidget*>(this), LaunchButtons, static_cast<QWidget*>(CurrentConsoleBar),
                     static_cast<QWidget*>(ChannelTestBar), ListHeader})
    PaintBackground(w, ColorBack);
  for (QWidget* w : {ConsoleInfo, LegendPanel, DevPanel}) PaintBackground(w, ColorPanel);
  for (QLabel* l : {CurrentConsoleBar, ChannelTestBar, LegendCaption}) PaintText(l, ColorOffText);
  for (QLabel* l : {NumberLabel, VersionLabel, ChannelCountLabel}) PaintText(l, ColorLabelText);
  for (QLabel* l : {NumberValue, ChannelCountValue, VersionValue}) PaintText(l, ColorValueText);
  for (QLabel* l : LegendTexts) PaintText(l, ColorLabelText);
  for (QLabel* l : {StateCaption, ModeCaption}) PaintText(l, ColorLabelText);
  PaintText(RadioCaption, ColorOffText);
  for (QLabel* l : RadioNumberLabels) PaintText(l, ColorOffText);
  for (LedShape* led : RadioLeds) led->SetFill(ColorBack);
  PaintText(DevicesCaption, ColorOffText);
  for (QLabel* l : ListHeaderLabels) PaintText(l, ColorOffText);
  for (QLabel* l : {DiagnosticsCaption, SoundCaption}) PaintText(l, ColorOffText);
  PaintBackground(TimeLabel, ColorField);
  // An untested channel's cell has the field's colour in every scheme; its legend swatch too.
  if (auto* unknown = LegendPanel->findChild<QWidget*>(QStringLiteral("LegendUnknownSwatch")))
    PaintBackground(unknown, ColorField);
  {
    QPalette p = List->palette();
    p.setColor(QPalette::Base, ColorField);
    List->setPalette(p);
  }
  SoundLoadedLed->SetLabelColor(ColorOffText);
  SoundPlayLed->SetLabelColor(ColorOffText);
  SoundLoadedLed->SetFill(ColorBack);
  SoundPlayLed->SetFill(ColorBack);
  PaintBackground(ReceivedTimecodeLabel, ColorField);
  ShowTimecodeState();
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TMainForm::FormShow() {
  setWindowTitle(CaptionText());
  if (!SearchBtn->isChecked()) IdleTimer->SetEnabled(true);
  UpdateControls();
  FillList();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Closing under a soundtrack load would pull the window from beneath it: the load gives up and
  // the window closes after it.
  if (SoundLoading) {
    closeAfterSoundLoad_ = true;
    event->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

// A channel test, a write or a verify runs inside this window's event handling; closing under it
// would pull the window from beneath the work and leave consoles half written.
bool TMainForm::FormCloseQuery() { return !IsPlaying() && !ShowArmed() && !Testing && !MemoryWorkRunning(); }

void TMainForm::FormClose() {
  support::WriteLog(kDashLine, 1);
  support::WriteLog("Выход из ПО управления", 1);
  support::WriteLog(kDashLine, 1);
}

void TMainForm::ExitActionExecute() { close(); }

void TMainForm::ColorActionExecute() {
  const int32_t previous = ColorScheme;
  ColorScheme = SwitchedColorScheme(ColorScheme);
  QSettings settings(environment_.SettingsOrganization, environment_.SettingsApplication);
  settings.setValue(kColorSchemeValue, ColorScheme);
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    // Promising a new scheme after a restart would mislead the operator when nothing was stored;
    // the window stays open and the scheme number stays what is stored.
    ColorScheme = previous;
    platform_.ShowMessage("Не удалось сохранить цветовую схему в " + settings.fileName().toStdString(), "Ошибка");
    return;
  }
  platform_.ShowMessage("Изменения вступят в силу после перезагрузки программы.", "Предупреждение");
  close();
}

}  // namespace fd::app
