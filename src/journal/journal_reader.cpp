#include "journal/journal_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "journal/cue_fields.h"
#include "support/file_error_text.h"

namespace fd::journal {

namespace {

using Json = nlohmann::json;

void ReadFileRef(const Json& header, const char* key, std::string& path, std::string& sha) {
  const auto it = header.find(key);
  if (it == header.end() || !it->is_object()) return;
  path = JsonText(*it, "path");
  sha = JsonText(*it, "sha256");
}

void ReadResult(const Json& header, const char* key, std::string& result, std::string& sha) {
  const auto it = header.find(key);
  if (it == header.end() || !it->is_object()) return;
  result = JsonText(*it, "result");
  sha = JsonText(*it, "scenario_sha256");
}

JournalHeader HeaderOf(const Json& event) {
  JournalHeader header;
  header.kind = JsonText(event, "kind");
  header.programVersion = JsonText(event, "program_version");
  ReadFileRef(event, "scenario", header.scenarioPath, header.scenarioSha256);
  ReadFileRef(event, "soundtrack", header.soundtrackPath, header.soundtrackSha256);
  header.launchMode = JsonText(event, "launch_mode");
  header.startMs = JsonWhole(event, "start_ms").value_or(0);
  if (const auto it = event.find("consoles"); it != event.end() && it->is_array()) {
    for (const Json& item : *it) {
      if (!item.is_object()) continue;
      ConsoleState console;
      console.id = JsonWhole(item, "id").value_or(0);
      console.firmware = JsonText(item, "firmware");
      if (const auto v = item.find("voltage"); v != item.end() && v->is_number()) console.voltage = v->get<double>();
      console.linkQuality = JsonWhole(item, "link_quality").value_or(-1);
      header.consoles.push_back(console);
    }
  }
  ReadResult(event, "last_write", header.lastWriteResult, header.lastWriteSha256);
  ReadResult(event, "last_verify", header.lastVerifyResult, header.lastVerifySha256);
  header.resumedFrom = JsonText(event, "resumed_from");
  return header;
}

// The cue of a "cue_sent" or "cue_followed" event; nullopt when a field it needs is missing.
std::optional<CueEvent> CueOf(const Json& event, bool followed) {
  const auto id = ReadCueId(event);
  const auto shown = JsonWhole(event, "show_ms");
  if (!id || !shown) return std::nullopt;
  CueEvent cue;
  static_cast<CueId&>(cue) = *id;
  cue.showMs = *shown;
  cue.followed = followed;
  return cue;
}

std::optional<Json> ParseLine(std::string_view line) {
  Json event = Json::parse(line.begin(), line.end(), nullptr, false);
  if (event.is_discarded() || !event.is_object()) return std::nullopt;
  const auto kind = event.find("event");
  if (kind == event.end() || !kind->is_string()) return std::nullopt;
  return event;
}

}  // namespace

std::optional<ReadJournal> ParseJournal(std::string_view text, std::string& error) {
  ReadJournal journal;
  size_t at = 0;
  int64_t number = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    const bool complete = end != std::string_view::npos;
    std::string_view line = text.substr(at, complete ? end - at : std::string_view::npos);
    at = complete ? end + 1 : text.size();
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() && complete) continue;
    std::optional<Json> event;
    if (line.size() <= kMaxJournalLine) event = ParseLine(line);
    if (!event) {
      // Only the very last line, cut before its newline, can be a write a crash broke off.
      if (!complete && journal.lines > 0) {
        journal.tornTail = true;
        break;
      }
      error = "line " + std::to_string(number) + " is not a journal event";
      return std::nullopt;
    }
    const std::string kind = (*event)["event"].get<std::string>();
    if (journal.lines == 0) {
      if (kind != "header") {
        error = "line " + std::to_string(number) + ": a journal begins with its header";
        return std::nullopt;
      }
      journal.header = HeaderOf(*event);
      journal.headerEvent = std::move(*event);
      ++journal.lines;
      continue;
    }
    if (kind == "header") {
      error = "line " + std::to_string(number) + ": a second header";
      return std::nullopt;
    }
    if (kind == "cue_sent" || kind == "cue_followed") {
      const auto cue = CueOf(*event, kind == "cue_followed");
      if (!cue) {
        if (!complete) {
          journal.tornTail = true;
          break;
        }
        error = "line " + std::to_string(number) + ": a cue without its line, console, channel or times";
        return std::nullopt;
      }
      journal.cues.push_back(*cue);
    }
    if (kind == "cue_out") {
      // The frame of a cue already read has gone out: the latest cue of that line.
      const auto line = JsonWhole(*event, "line");
      const auto sent = JsonWhole(*event, "sent_ms");
      for (auto cue = journal.cues.rbegin(); line && sent && cue != journal.cues.rend(); ++cue)
        if (cue->line == *line) {
          cue->sentMs = *sent;
          break;
        }
    }
    if (kind == "close") journal.closed = true;
    journal.events.push_back(std::move(*event));
    ++journal.lines;
  }
  if (journal.lines == 0) {
    error = "no journal header";
    return std::nullopt;
  }
  return journal;
}

std::optional<ReadJournal> ReadJournalFile(const std::string& path, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = path + ": " + support::FileErrorText(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + ": not a file";
    return std::nullopt;
  }
  if (static_cast<uint64_t>(info.st_size) > kMaxJournalBytes) {
    error = path + ": too large for a journal (" + std::to_string(info.st_size) + " bytes)";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + support::FileErrorText(errno);
    return std::nullopt;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    error = path + ": " + support::FileErrorText(errno);
    return std::nullopt;
  }
  std::string reason;
  auto journal = ParseJournal(content.str(), reason);
  if (!journal) error = path + " is not a firnadesk journal: " + reason;
  return journal;
}

std::string JsonText(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::optional<int32_t> JsonWhole(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number_integer()) return std::nullopt;
  const int64_t value = it->get<int64_t>();
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

bool IsInterruptedShow(const ReadJournal& journal) { return journal.header.kind == "show" && !journal.closed; }

}  // namespace fd::journal
