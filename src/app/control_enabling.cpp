// Which buttons and actions the operator may use, and the state and mode LEDs.
#include "app/control_enabling.h"

#include <QApplication>

#include "app/color_scheme.h"
#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/widget_paint.h"
#include "show/operating_mode.h"

namespace fd::app {

EnabledControls EnablingRules(const EnablingInputs& in) {
  const bool T = in.TestView, S = in.Searching, X = in.Testing, P = in.Playing;
  const bool wait = in.Mode == show::omWait, ready = in.Mode == show::omReady, launch = in.Mode == show::omLaunch;
  const bool cues = in.CueCount > 0;
  EnabledControls e{};
  e.TestBtn = !X && !P && wait;
  e.SearchBtn = !X && !P && wait;
  e.SoundBtn = !T && !S && !X && !P && wait;
  e.ProjectBtn = e.SoundBtn;
  e.BeginBtn = !T && !S && !X && !P && !launch && cues;
  e.StartBtn = !T && !S && !X && !P && cues && ready;
  e.StopBtn = !T && !S && !X && P;
  e.SaveBtn = !T && !S && !X && !P && cues && !launch && in.ConsoleCount > 0;
  e.CheckBtn = e.SaveBtn;
  e.DownBtn = T && !X && !S && in.ConsoleCount > 1;
  e.UpBtn = e.DownBtn;
  e.ControlTestBtn = T && !X && !S && in.ConsoleCount > 0;
  e.TestAllBtn = e.ControlTestBtn;
  e.TestStopBtn = T && X && !S && in.ConsoleCount > 0;
  e.ControlAction = !T && !X && !S && wait;
  e.ExitAction = !X && !S && wait;
  e.ColorAction = !T && !X && !S && wait;
  return e;
}

namespace {

EnablingInputs CurrentInputs(const TMainForm& f) {
  EnablingInputs in;
  in.TestView = f.IsTestView();
  in.Searching = f.Searching;
  // A soundtrack being decoded holds everything else, as a channel test does.
  in.Testing = f.Testing || f.SoundLoading;
  // A show armed on the timecode is as good as running: it may start at any moment.
  in.Playing = f.IsPlaying() || f.ShowArmed();
  in.Mode = show::OperatingMode;
  in.CueCount = f.Project ? f.Project->Count() : 0;
  in.ConsoleCount = f.Controls ? f.Controls->ConsoleCount() : 0;
  return in;
}

}  // namespace

bool TMainForm::IsTestView() const { return TestBtn->isChecked(); }

bool TMainForm::MemoryWorkRunning() const {
  for (const QWidget* w : QApplication::topLevelWidgets())
    if (const auto* form = qobject_cast<const TMemoryForm*>(w); form != nullptr && form->Running()) return true;
  return false;
}

void TMainForm::UpdateControls() {
  const EnabledControls e = EnablingRules(CurrentInputs(*this));
  TestBtn->setEnabled(e.TestBtn);
  SearchBtn->setEnabled(e.SearchBtn);
  SoundBtn->setEnabled(e.SoundBtn);
  ProjectBtn->setEnabled(e.ProjectBtn);
  BeginBtn->setEnabled(e.BeginBtn);
  StartBtn->setEnabled(e.StartBtn);
  StopBtn->setEnabled(e.StopBtn);
  SaveBtn->setEnabled(e.SaveBtn);
  CheckBtn->setEnabled(e.CheckBtn);
  DownBtn->setEnabled(e.DownBtn);
  UpBtn->setEnabled(e.UpBtn);
  ControlTestBtn->setEnabled(e.ControlTestBtn);
  TestAllBtn->setEnabled(e.TestAllBtn);
  TestStopBtn->setEnabled(e.TestStopBtn);
  ActionListUpdate();
  if (!IsTestView()) List->setFocus();
  UpdateLeds();
}

void TMainForm::ActionListUpdate() {
  const EnabledControls e = EnablingRules(CurrentInputs(*this));
  // While the progress window writes or verifies, its "Отмена" is the only thing to press.
  const bool free = !MemoryWorkRunning();
  ControlAction->setEnabled(e.ControlAction && free);
  ExitAction->setEnabled(e.ExitAction && free);
  ColorAction->setEnabled(e.ColorAction && free);
}

void TMainForm::UpdateLeds() {
  WaitLed->Label()->setText(Searching ? QStringLiteral("Поиск...") : QStringLiteral("Ожидание"));
  PaintLed(WaitLed, Searching);
  if (Searching || Testing) {
    // The search flashes WaitLed from here on; a channel test shows no state at all.
    for (LedShape* led : {WaitLed, WorkLed, DirectLed, AutoLed}) PaintLed(led, false);
    return;
  }
  PaintLed(WaitLed, show::OperatingMode == show::omWait);
  PaintLed(WorkLed, show::OperatingMode == show::omReady || show::OperatingMode == show::omLaunch);
  if (show::OperatingMode == show::omWait) PaintLed(SoundPlayLed, false);
  const uint8_t launchMode = Player ? Player->LaunchMode : show::lmDirect;
  PaintLed(DirectLed, launchMode == show::lmDirect);
  PaintLed(AutoLed, launchMode == show::lmAutonomous);
}

}  // namespace fd::app
