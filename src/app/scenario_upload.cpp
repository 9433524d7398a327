// Writing the scenario into the consoles and verifying it there, each behind its pre-flight checks:
// the operator sees which consoles the scenario names but the bus does not have, and which ones
// may play it wrongly, and decides whether to go on before a single record goes out.
#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/warning_dialogs.h"
#include "show/preflight_checks.h"

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

void TMainForm::SaveBtnClick() {
  // The registry's write is not re-entrant and must not share the bus with a search, a test or a show.
  if (!MayStartWork()) return;
  IdleTimer->SetEnabled(false);
  if (CheckUnconnected() && CheckScenarioTimes() && MemoryForm != nullptr) MemoryForm->RunWrite(*Controls, *Project);
  ResumePolling();
  CatchUpDevPanel();
  UpdateControls();
}

void TMainForm::CheckBtnClick() {
  if (!MayStartWork()) return;
  IdleTimer->SetEnabled(false);
  if (CheckUnconnected() && MemoryForm != nullptr) MemoryForm->RunVerify(*Controls, *Project);
  ResumePolling();
  CatchUpDevPanel();
  UpdateControls();
}

}  // namespace fd::app
