// The operating modes (ОЖИДАНИЕ, ГОТОВНОСТЬ, ЗАПУСК), the launch mode, and start, stop and rewind of
// the show. The mode reaches the bus only through the player's answers to state queries.
#include "app/cue_table_model.h"
#include "app/main_form.h"
#include "app/warning_dialogs.h"
#include "app/warning_form.h"
#include "app/widget_paint.h"
#include "show/operating_mode.h"
#include "show/preflight_checks.h"
#include "support/run_log.h"

namespace fd::app {

bool TMainForm::IsPlaying() const { return Player && Player->IsPlaying(); }

void TMainForm::ChangeOperatingMode(uint8_t mode, const char* logLine) {
  show::OperatingMode = mode;
  if (ShowJournal) ShowJournal->ModeChanged(mode);
  if (logLine != nullptr) support::WriteLog(logLine, 1);
  UpdateControls();
}

void TMainForm::ControlActionExecute() {
  if (Player->LaunchMode == show::lmDirect) {
    Player->LaunchMode = show::lmAutonomous;
    support::WriteLog("Переключение режима запуска: АВТОНОМНЫЙ", 1);
  } else {
    Player->LaunchMode = show::lmDirect;
    support::WriteLog("Переключение режима запуска: ПРЯМОЙ", 1);
  }
  UpdateLeds();
}

void TMainForm::StartBtnClick() {
  // A chased show is never started by hand: it waits for its timecode.
  if (Chasing()) {
    ArmChasedShow();
    return;
  }
  // The consoles start from the first whole tenth of a second: the operator hears first what that
  // leaves out, and may still cancel.
  if (Player->LaunchMode == show::lmAutonomous &&
      !AskToContinue(show::CheckCuesBeforeFirstRun(Project->Cues(), CuesLeftOutByAutonomousStart())))
    return;
  ListModel->ClearSkipped();
  BeginShowJournal();
  Player->Start(Player->Clock);
}

void TMainForm::StopBtnClick() { Player->Stop(true); }

void TMainForm::BeginBtnClick() {
  Player->Clock = 0;
  Player->NextCue = 0;
  PlayerProgress(0);
}

void TMainForm::PlayerStateChanged() {
  const bool playing = IsPlaying();
  // The player asks for single poll steps in quiet gaps of the show instead. A stop heard while a
  // search, a channel test or a write runs must not start polling into the middle of their traffic.
  IdleTimer->SetEnabled(!playing && !Searching && !Testing && !MemoryWorkRunning());
  const bool soundPlaying = Player->Soundtrack && Player->Soundtrack->Loaded() && Player->Soundtrack->IsPlaying();
  PaintLed(SoundPlayLed, soundPlaying);
  // A show's stop lands in ГОТОВНОСТЬ: only the operator goes back to ОЖИДАНИЕ. A stop heard while
  // no show runs (the remote's button pressed while the crew prepares) leaves the mode as it was:
  // arming the console from the bus would let F5 fire, and the test view's keys need ОЖИДАНИЕ.
  if (playing)
    show::OperatingMode = show::omLaunch;
  else if (show::OperatingMode == show::omLaunch)
    show::OperatingMode = show::omReady;
  if (ShowJournal) ShowJournal->ModeChanged(show::OperatingMode);
  UpdateControls();
  if (!playing) {
    NoteShowStopped();
    EndShowJournal();
    NoteUndeliveredStop();
  }
}

void TMainForm::PlayerEmergencyStop() {
  if (WarningForm != nullptr) WarningForm->ShowWarning(QStringLiteral("Экстренная остановка!"));
  support::WriteLog("Экстренная внешняя остановка воспроизведения", 1);
}

}  // namespace fd::app
