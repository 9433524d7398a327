#include "cli_journal.h"

#include <cstdio>
#include <filesystem>

#include "journal/records_place.h"
#include "support/run_log.h"
#include "support/terminal_text.h"

namespace fd::cli {

CliJournal::CliJournal(const std::string& journalDir, const std::string& scenarioPath, const char* command,
                       const std::string& label)
    : command_(command), label_(label), begun_(std::time(nullptr)) {
  const journal::RecordsPlace place = journal::ChooseRecordsPlace(support::ProgramFolder(), journal::StateFolder());
  folder_ = journal::JournalFolder(place, journalDir);
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  std::fprintf(stderr, "journal: %s\n",
               support::TerminalPath(folder_ + journal::JournalFileName(begun_, scenarioPath, label_), 4096).c_str());
  journal_.OnFailure = [this](const std::string& path, uint64_t bytes, const std::string& reason) {
    std::fprintf(stderr, "firnadesk-cli %s: the journal stops at byte %llu of %s: %s; the run goes on\n",
                 command_.c_str(), static_cast<unsigned long long>(bytes), support::TerminalPath(path, 4096).c_str(),
                 reason.c_str());
    support::WriteLog("Журнал шоу прерван: " + path + ", байт: " + std::to_string(bytes) + " (" + reason + ")", 1);
  };
}

bool CliJournal::Open(const journal::JournalHeader& header) {
  const std::string named = folder_ + journal::JournalFileName(begun_, header.scenarioPath, label_);
  if (!journal_.Open(folder_, begun_, header, label_)) {
    std::fprintf(stderr, "firnadesk-cli %s: no journal could be made in %s; the run goes on without one\n",
                 command_.c_str(), support::TerminalPath(folder_, 4096).c_str());
    return false;
  }
  // Another show of the same scenario started in the same second took the name.
  if (journal_.Path() != named) std::fprintf(stderr, "journal: %s\n", support::TerminalPath(journal_.Path(), 4096).c_str());
  return true;
}

}  // namespace fd::cli
