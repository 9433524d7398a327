#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_events.h"

namespace fd::journal {

// A journal read back: its header, every event after it in file order, and the cues among them.
// Journals come from anywhere (a stick from another laptop, a file cut short by a crash), so the
// reader takes nothing on trust: a line that is not an event refuses the file, except the last one,
// which a crash may have cut mid-write; that one is the end of the journal, not an error.
struct ReadJournal {
  JournalHeader header;
  nlohmann::json headerEvent;          // the header as written, fields this program does not read among it
  std::vector<nlohmann::json> events;  // every event after the header, as written
  std::vector<CueEvent> cues;          // the "cue_sent" and "cue_followed" events, in order
  bool closed = false;                 // the closing event is there: the show ended in order
  bool tornTail = false;               // the last line was cut short and is left out
  int64_t lines = 0;                   // lines taken, the header among them
};

// Journals larger than this are refused rather than read into memory.
inline constexpr uint64_t kMaxJournalBytes = uint64_t{1} << 30;
// A longer line is not one the program writes.
inline constexpr size_t kMaxJournalLine = 64 * 1024;

// The journal in text; nullopt and error set to why it is not one ("line 3: ...").
std::optional<ReadJournal> ParseJournal(std::string_view text, std::string& error);
// The same for a file; the error names the file and the reason it cannot be read.
std::optional<ReadJournal> ReadJournalFile(const std::string& path, std::string& error);

// An event's field as the journal's readers take it: a string, or empty; a whole number within 32
// bits, or nullopt. A field of another type counts as missing.
std::string JsonText(const nlohmann::json& object, const char* key);
std::optional<int32_t> JsonWhole(const nlohmann::json& object, const char* key);

// A show cut short: a show's journal with no closing event.
bool IsInterruptedShow(const ReadJournal& journal);

}  // namespace fd::journal
