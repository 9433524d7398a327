// The show's journal from the window: where it goes, its header, and a disk that fails under it.
#include <QString>
#include <QThreadPool>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/warning_form.h"
#include "devices/scenario_memory.h"
#include "report/timeline_picture.h"
#include "show/journal_header.h"
#include "support/run_log.h"
#include "support/sha256.h"

namespace fd::app {

namespace {

const QString kJournalFailedWarning = QStringLiteral("Журнал шоу не записывается!");
const QString kRecordsUnwritableWarning = QStringLiteral("Нет папки для записей: журнал шоу не ведётся!");

}  // namespace

void TMainForm::BeginShowJournal() {
  EndShowJournal();
  const std::string folder = journal::JournalFolder(records_, options_.JournalDir);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::string soundtrack =
      Player->Soundtrack && Player->Soundtrack->Loaded() ? Player->Soundtrack->FileName : std::string();
  auto journal = std::make_unique<journal::ShowJournal>();
  journal->OnFailure = [this](const std::string& path, uint64_t bytes, const std::string& reason) {
    ShowJournalFailed(path, bytes, reason);
  };
  const std::time_t now = environment_.Now ? environment_.Now() : std::time(nullptr);
  journal::JournalHeader header =
      show::ShowJournalHeader(ScenarioPath, soundtrack, Player->LaunchMode, Player->Clock, *Controls, lastMemory_);
  header.resumedFrom = ResumedFromForStart();
  if (Chase) {
    header.timecodeSource = Chase->SourceText();
    header.timecodeOffset = timecode::TimecodeText(Chase->Chase().Offset(), timecode::FrameRate::Fps25);
  }
  if (!journal->Open(folder, now, header)) {
    // The show is not held back for its record; the run log says there is none.
    support::WriteLog("Журнал шоу не создан: " + folder, 1);
    std::fprintf(stderr, "journal: none, %s cannot be written\n", folder.c_str());
    return;
  }
  std::fprintf(stderr, "journal: %s\n", journal->Path().c_str());
  ShowJournal = std::move(journal);
  Player->Journal = ShowJournal.get();
}

void TMainForm::EndShowJournal() {
  if (!ShowJournal) return;
  Player->Journal = nullptr;
  ShowJournal->Close(Player->Clock);
  const std::string path = ShowJournal->Path();
  ShowJournal.reset();
  DrawShowPicture(path);
}

// The show's timeline beside its journal. A big show takes a while to read and draw, so it is done
// off the user-interface thread; a failure is a line in the run log, never a dialog in the way.
void TMainForm::DrawShowPicture(const std::string& journalPath) {
  if (journalPath.empty()) return;
  pictureThreads_.start([journalPath] {
    std::string error;
    if (!report::DrawJournalPicture(journalPath, report::PicturePathFor(journalPath), error))
      support::WriteLog("Картинка шоу не нарисована: " + error, 1);
  });
}

// Once per show: the journal writes nothing more after its first failure.
void TMainForm::ShowJournalFailed(const std::string& path, uint64_t bytes, const std::string& reason) {
  support::WriteLog("Журнал шоу прерван: " + path + ", байт: " + std::to_string(bytes) + " (" + reason + ")", 1);
  if (WarningForm != nullptr) WarningForm->ShowWarning(kJournalFailedWarning);
}

void TMainForm::JournalMemoryWork(const char* kind, bool ran) {
  if (!ran || MemoryForm == nullptr) return;
  const int code = MemoryForm->LastResult();
  std::string result =
      code == 0 ? std::string("OK")
                : devices::ScenarioRunMessage(code, Controls->ScenarioFaultLine, Controls->ScenarioFaultCause);
  const std::string sha = support::FileSha256Hex(ScenarioPath);
  const bool write = std::string(kind) == "write";
  (write ? lastMemory_.writeResult : lastMemory_.verifyResult) = result;
  (write ? lastMemory_.writeSha256 : lastMemory_.verifySha256) = sha;

  journal::JournalHeader header =
      show::ShowJournalHeader(ScenarioPath, {}, Player->LaunchMode, 0, *Controls, lastMemory_);
  header.kind = kind;
  journal::ShowJournal journal;
  if (!OpenWorkJournal(journal, header, kind)) return;
  journal.Append(show::MemoryPassEvent(MemoryForm->LastPass(kind, result)));
  journal.Close(0);
}

bool TMainForm::OpenWorkJournal(journal::ShowJournal& journal, journal::JournalHeader header, const char* label) {
  const std::string folder = journal::JournalFolder(records_, options_.JournalDir);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  journal.OnFailure = [this](const std::string& path, uint64_t bytes, const std::string& reason) {
    ShowJournalFailed(path, bytes, reason);
  };
  if (!journal.Open(folder, environment_.Now ? environment_.Now() : std::time(nullptr), header, label)) return false;
  std::fprintf(stderr, "journal: %s\n", journal.Path().c_str());
  return true;
}

void TMainForm::WarnRecordsUnwritable() {
  if (records_.Writable || !options_.JournalDir.empty()) return;
  if (WarningForm != nullptr) WarningForm->ShowWarning(kRecordsUnwritableWarning);
}

}  // namespace fd::app
