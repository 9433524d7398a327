// The flashing of pending states and the converter link: its indicator, banner and log lines.
#include "app/color_scheme.h"
#include "app/converter_source.h"
#include "app/main_form.h"
#include "app/warning_form.h"
#include "app/widget_paint.h"
#include "show/operating_mode.h"
#include "support/run_log.h"

namespace fd::app {

namespace {

const QString kLinkLostWarning = QStringLiteral("Конвертер RS485 - нет связи.");
const QString kShowStoppedWarning = QStringLiteral("Показ остановлен: нет связи с конвертером RS485.");
const QString kShowStoppedStopPendingWarning =
    QStringLiteral("Показ остановлен: нет связи с конвертером RS485. Стоп не доставлен.");
const QString kStopUndeliveredWarning = QStringLiteral("Стоп не доставлен: нет связи с конвертером RS485.");

// The banner names a port that another program holds: the operator can act on that (close the
// other program). Other reasons (no permission, no device) go to the run log and the terminal.
QString LinkLostWarning(const ConverterSource* converter) {
  std::string holders;
  if (converter == nullptr || !converter->HeldByAnotherProgram(holders)) return kLinkLostWarning;
  return kLinkLostWarning + QStringLiteral(" Порт занят другой программой") +
         (holders.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(holders).left(200)) +
         QStringLiteral(".");
}

}  // namespace

void TMainForm::ErrFlashTimerTimer() {
  FlashPhase = 1 - FlashPhase;
  const bool lit = FlashPhase == 1;
  if (Searching) PaintLed(WaitLed, lit);
  if (show::OperatingMode == show::omReady) {
    PaintLed(WorkLed, lit);
    if (Player && Player->Soundtrack && Player->Soundtrack->Loaded()) PaintLed(SoundPlayLed, lit);
  }
  if (LinkLost) {
    RS485->SetFill(lit ? ColorAlarm : ColorBack);
    RS485->SetLabelColor(ColorOffText);
  }
  if (Chasing()) ShowTimecodeState();
}

void TMainForm::PortLinkLost() {
  LinkLost = true;
  if (WarningForm != nullptr) WarningForm->ShowWarning(LinkLostWarning(environment_.Converter));
  support::WriteLog("Ошибка преобразователя RS485 - нет связи", 1);
  if (ShowJournal) ShowJournal->ConverterChanged(true);
  // Blind, the program would fire on past a stop the remote control gave meanwhile.
  const bool wasArmed = ShowArmed();
  if (Player) Player->ConnectionLost();
  // The player forgets an arming without a word; the window leaves ЗАПУСК with it.
  if (wasArmed && !IsPlaying()) {
    support::WriteLog("Ожидание таймкода отменено: нет связи с преобразователем RS485", 1);
    PlayerStateChanged();
  }
}

void TMainForm::PlayerConnectionStop() {
  support::WriteLog("Показ остановлен: нет связи с преобразователем RS485", 1);
  NoteUndeliveredStop();
  if (WarningForm != nullptr)
    WarningForm->ShowWarning(StopUndelivered ? kShowStoppedStopPendingWarning : kShowStoppedWarning);
}

void TMainForm::NoteUndeliveredStop() {
  if (StopUndelivered || !Port || Port->UndeliveredStops() == 0) return;
  StopUndelivered = true;
  if (WarningForm != nullptr) WarningForm->ShowWarning(kStopUndeliveredWarning);
  support::WriteLog("Стоп не доставлен: нет связи с преобразователем RS485", 1);
}

void TMainForm::PortLinkRestored() {
  LinkLost = false;
  RS485->SetFill(ColorOn);
  RS485->SetLabelColor(ColorOnText);
  // Only the converter's own warning goes: an emergency stop shown meanwhile stays up for the
  // operator to see.
  if (WarningForm != nullptr && WarningForm->isVisible() && WarningForm->Panel->text().startsWith(kLinkLostWarning))
    WarningForm->close();
  support::WriteLog("Работа преобразователя RS485 восстановлена", 1);
  // The engine sent the waiting stops before it reported the link back.
  if (StopUndelivered && Port && Port->UndeliveredStops() == 0) {
    StopUndelivered = false;
    support::WriteLog("Стоп доставлен после восстановления связи", 1);
    // The reason the show stopped stays up; the waiting stop is no longer news.
    if (WarningForm != nullptr && WarningForm->isVisible()) {
      if (WarningForm->Panel->text() == kShowStoppedStopPendingWarning) WarningForm->ShowWarning(kShowStoppedWarning);
      if (WarningForm->Panel->text() == kStopUndeliveredWarning) WarningForm->close();
    }
  }
}

}  // namespace fd::app
