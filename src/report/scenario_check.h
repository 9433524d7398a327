#pragma once

#include "journal/journal_events.h"
#include "report/show_report.h"

namespace fd::report {

// The scenario a show's journal names, compared with the file as it is now: its cues when the file
// is still there and its SHA-256 is the journal's, otherwise one line that says why not. Only a
// plain file is read (a journal may name /dev/zero), and no larger than a scenario may be.
ScenarioCheck CheckScenario(const journal::JournalHeader& header);

}  // namespace fd::report
