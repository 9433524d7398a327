// Carrying on with a show that a crash cut short: the offer when its scenario is loaded again, the
// quick search that finds its consoles in seconds, and the journal's link from the resumed show back
// to the one it carries on.
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <set>

#include "app/console_row.h"
#include "app/main_form.h"
#include "app/show_resume_dialog.h"
#include "journal/show_resume.h"
#include "show/operating_mode.h"
#include "show/resume_cues.h"
#include "support/run_log.h"
#include "support/sha256.h"

namespace fd::app {

namespace {

QString CueText(const journal::CueEvent& cue) {
  static const char* const kMotions[] = {"C", "L", "R", "LT", "RT"};
  const QString target = cue.motion >= 50 && cue.motion <= 54
                             ? QStringLiteral("движение ") + QString::fromLatin1(kMotions[cue.motion - 50])
                             : QStringLiteral("канал ") + QString::number(cue.channel);
  return QStringLiteral("Последний отправленный сигнал: пульт ") + QString::number(cue.console) + QStringLiteral(", ") +
         target + QStringLiteral(", ") + ShowTimeText(cue.plannedMs) + QStringLiteral(" (строка ") +
         QString::number(cue.line) + QStringLiteral(")");
}

std::vector<int> ScenarioConsoles(const show::TProjectList& list) {
  std::set<int> consoles;
  for (const devices::CueRecord& cue : list.Cues())
    if (cue.Console >= 1 && cue.Console <= 199) consoles.insert(cue.Console);
  return {consoles.begin(), consoles.end()};
}

}  // namespace

void TMainForm::OfferResume() {
  // Whatever the last scenario's show left, a new load starts none of its own from it.
  continuation_.reset();
  // The demo plays its sample show from the beginning, whatever an earlier demo left.
  if (options_.Demo || Project->Count() == 0 || ScenarioPath.empty()) return;
  const std::string folder = journal::JournalFolder(records_, options_.JournalDir);
  const journal::ResumeCheck check =
      journal::FindResume(folder, support::FileSha256Hex(ScenarioPath), show::ResumeCuesOf(Project->Cues()));
  if (!check.Offered()) return;
  const journal::ResumePlan& plan = check.plan;
  const QString position = ShowTimeText(plan.positionMs);

  TResumeDialog dialog(this);
  dialog.Question->setText(QStringLiteral("Продолжить шоу с ") + position + QStringLiteral("?"));
  dialog.LastCue->setText(CueText(plan.lastSent));
  dialog.JournalLabel->setText(QStringLiteral("Журнал: ") + QString::fromStdString(plan.journalPath));
  if (dialog.exec() != QDialog::Accepted) {
    support::WriteLog("Продолжение шоу отклонено, журнал: " + plan.journalPath, 1);
    return;
  }
  support::WriteLog("Продолжение шоу с " + position.toStdString() + ", журнал: " + plan.journalPath, 1);
  QuickSearch();
  // The show was cut short in direct launch, and carries on in it: the consoles' memory cannot
  // play the rest of a burst at the resume position.
  if (Player->LaunchMode != show::lmDirect) {
    Player->LaunchMode = show::lmDirect;
    support::WriteLog("Переключение режима запуска: ПРЯМОЙ", 1);
  }
  Player->ResumeAt(plan.positionMs, plan.nextCue);
  continuation_ = ContinuationPoint{plan.journalPath, plan.positionMs, plan.nextCue};
  // ОЖИДАНИЕ, as after any load: the operator arms the show (F1) and starts it (F5).
  PlayerProgress(plan.positionMs);
  UpdateControls();
}

bool TMainForm::QuickSearchKey() {
  if (SoundLoading) return true;
  // During a full sweep Shift+F10 is F10, and ends it.
  if (Searching || !SearchBtn->isEnabled() || !MayStartWork()) return false;
  QuickSearch();
  return true;
}

void TMainForm::QuickSearch() {
  if (!MayStartWork() || show::OperatingMode != show::omWait) return;
  IdleTimer->SetEnabled(false);
  Searching = true;
  UpdateControls();
  const std::vector<int> consoles = ScenarioConsoles(*Project);
  // The window keeps painting (the search light flashes) while the probes run; keys and clicks wait
  // until the search is over, so none starts other work on the bus in the middle of it.
  Controls->SearchListed(consoles, [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return false;
  });
  Searching = false;
  int found = 0;
  for (int id : consoles)
    if (Controls->FindByID(id) != nullptr) ++found;
  support::WriteLog(
      "Быстрый поиск: найдено пультов " + std::to_string(found) + " из " + std::to_string(consoles.size()), 1);
  UpdateDevPanel();
  Project->MarkUsedChannels(*Controls);
  if (IsTestView()) DrawChannels();
  ResumePolling();
  UpdateControls();
}

std::string TMainForm::ResumedFromForStart() const {
  if (!continuation_ || Player->Clock != continuation_->Clock || Player->NextCue != continuation_->NextCue) return {};
  return continuation_->Journal;
}

void TMainForm::NoteShowStopped() {
  if (!ShowJournal) return;
  continuation_ = ContinuationPoint{ShowJournal->Path(), Player->Clock, Player->NextCue};
}

std::vector<int32_t> TMainForm::CuesLeftOutByAutonomousStart() const {
  std::vector<int32_t> leftOut = Player->CuesBeforeFirstRun(Player->Clock);
  if (ResumedFromForStart().empty()) return leftOut;
  // The player counts every cue at the stop time as played, as the consoles of an autonomous show
  // have; a resumed direct show has sent only those before NextCue.
  for (int32_t i = Player->NextCue; i < Project->Count() && Project->Items(i).TimeMs <= Player->Clock; ++i)
    if (std::find(leftOut.begin(), leftOut.end(), i) == leftOut.end()) leftOut.push_back(i);
  std::sort(leftOut.begin(), leftOut.end());
  return leftOut;
}

}  // namespace fd::app
