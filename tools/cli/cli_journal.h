#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "journal/show_journal.h"

namespace fd::cli {

// The journal of a show run from the command line: named when the command begins (and said so on
// standard error, "journal: PATH"), written from the show's start on. A full disk is told once on
// standard error and in the run log, with where the journal stops; the show goes on.
class CliJournal {
 public:
  // journalDir: --journal-dir, empty for journal/ in the records folder.
  // label: what the journal is of besides a show ("write"), empty for a show.
  CliJournal(const std::string& journalDir, const std::string& scenarioPath, const char* command,
             const std::string& label = {});
  bool Open(const journal::JournalHeader& header);
  journal::ShowJournal& Journal() { return journal_; }

 private:
  journal::ShowJournal journal_;
  std::string folder_;
  std::string command_;
  std::string label_;
  std::time_t begun_;
};

}  // namespace fd::cli
