#pragma once

#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::import {

// A scenario as a script design programs and spreadsheets read, and ImportScript reads back to
// the same cues: UTF-8 with a byte-order mark, CR LF, a header row "time,console,channel,comment",
// the time in seconds with milliseconds ("90.500"), the channel number or the motion command as
// the scenario writes it ("#LT#2.5#80"), fields quoted where RFC 4180 needs it.
std::string ExportScript(const std::vector<devices::CueRecord>& cues);

}  // namespace fd::import
