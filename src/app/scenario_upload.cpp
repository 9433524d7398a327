// Writing the scenario into the consoles and verifying it there, each behind its pre-flight checks:
// the operator sees which consoles the scenario names but the bus does not have, and which ones
// may play it wrongly, and decides whether to go on before a single record goes out.
#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/warning_dialogs.h"
#include "show/preflight_checks.h"
#include "support/localizer.h"

namespace fd::app {

// Shows a failed check and asks the operator; true when the work may go on.
bool AskToContinue(const show::PreflightResult& check) {
  if (check.Passed) return true;
  // Without the dialog nobody can say "go on".
  if (PresentWarningForm == nullptr) return false;
  PresentWarningForm->Memo->setPlainText(QString::fromStdString(check.MemoText()));
  PresentWarningForm->Label1->setText(QString::fromStdString(check.Heading));
  return PresentWarningForm->exec() == QDialog::Accepted;
}

bool TMainForm::CheckUnconnected() { return AskToContinue(show::CheckUnconnected(Project->Cues(), *Controls)); }

bool TMainForm::CheckScenarioTimes() { return AskToContinue(show::CheckScenarioTimes(Project->Cues(), *Controls)); }

bool TMainForm::CheckChannelUse() { return AskToContinue(show::CheckChannelUse(Project->Cues(), *Controls)); }

// A cue no record can hold is a fault of the file, not a question: the operator learns which line
// and why before anything else is asked, and nothing is written or read.
bool TMainForm::CheckScenarioFits() {
  const std::string fault = show::ScenarioFitFault(Project->Cues(), *Controls);
  if (fault.empty()) return true;
  platform_.ShowMessage(fault, support::LocalText(91, "Ошибка"));
  return false;
}

void TMainForm::SaveBtnClick() {
  // The registry's write is not re-entrant and must not share the bus with a search, a test or a show.
  if (!MayStartWork()) return;
  IdleTimer->SetEnabled(false);
  if (CheckScenarioFits() && CheckUnconnected() && CheckScenarioTimes() && CheckChannelUse() && MemoryForm != nullptr)
    JournalMemoryWork("write", MemoryForm->RunWrite(*Controls, *Project));
  ResumePolling();
  CatchUpDevPanel();
  UpdateControls();
}

void TMainForm::CheckBtnClick() {
  if (!MayStartWork()) return;
  IdleTimer->SetEnabled(false);
  if (CheckScenarioFits() && CheckUnconnected() && MemoryForm != nullptr)
    JournalMemoryWork("verify", MemoryForm->RunVerify(*Controls, *Project));
  ResumePolling();
  CatchUpDevPanel();
  UpdateControls();
}

}  // namespace fd::app
