// Chase mode: the show clock follows SMPTE timecode heard from a capture device or a sound file.
// F7 turns it on and off, F5 arms the show to start when the timecode reaches the show position,
// and the window shows what the timecode does and tells the operator when it goes or jumps.
#include "app/color_scheme.h"
#include "app/cue_table_model.h"
#include "app/main_form.h"
#include "app/timecode_texts.h"
#include "app/warning_dialogs.h"
#include "app/warning_form.h"
#include "app/widget_paint.h"
#include "show/operating_mode.h"
#include "show/preflight_checks.h"
#include "show/show_clock_source.h"
#include "support/run_log.h"

namespace fd::app {

namespace {

const QString kTimecodeLostWarning = QStringLiteral("Таймкод потерян!");
constexpr uint32_t kChasePumpMs = 25;
// F7 without --timecode hears the default capture device.
const char* const kDefaultSource = "capture";

// The offset as the operator writes it, always with colons.
std::string OffsetText(const timecode::Timecode& offset) {
  return timecode::TimecodeText(offset, timecode::FrameRate::Fps25);
}

void Log(const QString& line) { support::WriteLog(line.toStdString(), 1); }

}  // namespace

void TMainForm::InstallChaseHandlers() {
  ChasePumpTimer = platform_.CreateTimer();
  ChasePumpTimer->SetInterval(kChasePumpMs);
  ChasePumpTimer->OnTimer = [this] { ChasePumpTimerTimer(); };
  Player->OnTimecodeEvent = [this](const timecode::ChaseEvent& event) { PlayerTimecodeEvent(event); };
  Player->OnCueSkipped = [this](int32_t index, const std::string& reason) { PlayerCueSkipped(index, reason); };
}

bool TMainForm::ShowArmed() const { return Player && Player->ChaseArmed(); }

bool TMainForm::ChaseKey() {
  if (IsTestView() || Searching || Testing || IsPlaying() || ShowArmed() || show::OperatingMode != show::omWait)
    return false;
  if (Chasing())
    StopChasing();
  else
    StartChasing(options_.TimecodeSource.empty() ? kDefaultSource : options_.TimecodeSource, options_.TimecodeOffset);
  return true;
}

bool TMainForm::StartChasing(const std::string& sourceText, const timecode::Timecode& offset) {
  if (Chasing()) return true;
  std::string error;
  std::unique_ptr<timecode::ChaseInput> input =
      OpenChaseSource ? OpenChaseSource(sourceText, offset, error)
                      : timecode::OpenChaseInput(sourceText, offset, platform_.GetClock(), error);
  if (input && !input->Start()) {
    error = input->Error();
    input.reset();
  }
  if (input && !Player->ChaseTimecode(&input->Chase())) {
    error = "идёт показ";
    input.reset();
  }
  if (!input) {
    const std::string text =
        "Источник таймкода не открыт: " + (error.empty() ? std::string("причина неизвестна") : error);
    support::WriteLog(text, 1);
    platform_.ShowMessage(text, "Ошибка");
    ShowTimecodeState();
    return false;
  }
  Chase = std::move(input);
  // The player hears the source itself before every reading of its clock while armed or playing.
  Player->FeedChase = [this](uint32_t now) {
    if (Chase) Chase->Pump(now);
  };
  ChasePumpTimer->SetEnabled(true);
  support::WriteLog("Слежение за таймкодом: включено (" + sourceText + ", смещение " + OffsetText(offset) + ")", 1);
  ShowTimecodeState();
  return true;
}

void TMainForm::StopChasing() {
  if (!Chasing() || !Player->ChaseTimecode(nullptr)) return;
  Player->FeedChase = nullptr;
  ChasePumpTimer->SetEnabled(false);
  Chase->Stop();
  Chase.reset();
  support::WriteLog("Слежение за таймкодом: выключено", 1);
  ShowTimecodeState();
}

void TMainForm::ArmChasedShow() {
  if (!Chasing()) return;
  // The consoles of an autonomous launch start from the first whole tenth, as for any start.
  if (Player->LaunchMode == show::lmAutonomous &&
      !AskToContinue(show::CheckCuesBeforeFirstRun(Project->Cues(), CuesLeftOutByAutonomousStart())))
    return;
  ListModel->ClearSkipped();
  // The journal runs from the arming on: it records what the timecode did before the start too.
  BeginShowJournal();
  if (!Player->ArmChase(Player->Clock)) {
    EndShowJournal();
    return;
  }
  // Polling pauses as for a show: a poll's exchange must not hold up the start on the timecode.
  IdleTimer->SetEnabled(false);
  show::OperatingMode = show::omLaunch;
  if (ShowJournal) ShowJournal->ModeChanged(show::OperatingMode);
  UpdateControls();
}

void TMainForm::ChasePumpTimerTimer() {
  if (!Chasing()) {
    ChasePumpTimer->SetEnabled(false);
    return;
  }
  // Armed or playing, the player hears the source itself; until then the window does.
  if (!ShowArmed() && !IsPlaying()) {
    Chase->Pump(platform_.GetClock().TickCount());
    // What the timecode did before the operator armed the show is no news for the show.
    Chase->Chase().TakeEvents();
  }
  ShowTimecodeState();
}

void TMainForm::ShowTimecodeState() {
  if (TimecodeLed == nullptr || ReceivedTimecodeLabel == nullptr) return;
  const timecode::ChaseState state = Chasing() ? Chase->Chase().State() : timecode::ChaseState::Off;
  const timecode::FrameRate rate = Chasing() ? Chase->Chase().Rate() : timecode::FrameRate::Unknown;
  const QString text = TimecodeLedText(state, rate);
  if (TimecodeLed->Label()->text() != text) TimecodeLed->Label()->setText(text);
  switch (state) {
    case timecode::ChaseState::Off:
      PaintLed(TimecodeLed, false);
      break;
    case timecode::ChaseState::Searching:
      // Flashes in step with the other pending states.
      PaintLed(TimecodeLed, FlashPhase == 1);
      break;
    case timecode::ChaseState::Locked:
      PaintLed(TimecodeLed, true);
      break;
    case timecode::ChaseState::Lost:
      TimecodeLed->SetFill(ColorAlarm);
      TimecodeLed->SetLabelColor(ColorOffText);
      break;
  }
  ReceivedTimecodeLabel->setVisible(Chasing());
  if (!Chasing()) return;
  const QString received = ReceivedTimecodeText(Chase->Chase().LastLabel(), rate);
  if (ReceivedTimecodeLabel->text() != received) ReceivedTimecodeLabel->setText(received);
}

void TMainForm::PlayerTimecodeEvent(const timecode::ChaseEvent& event) {
  switch (event.kind) {
    case timecode::ChaseEventKind::Lock:
      break;
    case timecode::ChaseEventKind::Dropout:
      if (WarningForm != nullptr) WarningForm->ShowWarning(kTimecodeLostWarning);
      Log(TimecodeLostLine(show::WholeShowMs(event.showMs), IsPlaying()));
      break;
    case timecode::ChaseEventKind::Return:
      // Only the timecode's own warning goes; any other stays up for the operator to see.
      if (WarningForm != nullptr && WarningForm->isVisible() && WarningForm->Panel->text() == kTimecodeLostWarning)
        WarningForm->close();
      Log(TimecodeReturnLine(show::WholeShowMs(event.showMs)));
      break;
    case timecode::ChaseEventKind::Jump:
      Log(TimecodeJumpLine(show::WholeShowMs(event.fromMs), show::WholeShowMs(event.toMs)));
      break;
  }
  ShowTimecodeState();
}

void TMainForm::PlayerCueSkipped(int32_t index, const std::string& reason) {
  if (index < 0 || index >= Project->Count()) return;
  const devices::CueRecord& cue = Project->Items(index);
  Log(CueSkippedLine(cue.Line, cue.TimeMs, reason));
  ListModel->MarkSkipped(index, SkipReasonText(reason));
}

}  // namespace fd::app
