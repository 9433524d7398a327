#include "journal/show_resume.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <tuple>

#include "journal/journal_reader.h"

namespace fd::journal {

namespace {

namespace fs = std::filesystem;

ResumeCheck Refuse(ResumeRefusal refusal, std::string reason) {
  ResumeCheck check;
  check.refusal = refusal;
  check.reason = std::move(reason);
  return check;
}

std::string LineText(int32_t line) { return "line " + std::to_string(line); }

// The journal a show carries on from, as its header names it. Journals name each other by full
// path; a folder copied to another machine keeps the file names, so a path that is gone is looked
// for beside the journal that names it.
std::string ResolvePredecessor(const std::string& named, const std::string& from) {
  std::error_code error;
  if (fs::is_regular_file(named, error)) return named;
  const fs::path beside = fs::path(from).parent_path() / fs::path(named).filename();
  if (fs::is_regular_file(beside, error)) return beside.string();
  return named;
}

// Whatever the journal says of the scenario's identity, checked against the scenario loaded now.
std::optional<ResumeCheck> RefuseForeign(const ReadJournal& journal, const std::string& path,
                                         const std::string& scenarioSha256) {
  if (journal.header.kind != "show")
    return Refuse(ResumeRefusal::NotAShow, path + " is the journal of a " +
                                               (journal.header.kind.empty() ? std::string("?") : journal.header.kind) +
                                               ", not of a show");
  if (journal.header.scenarioSha256.empty() || journal.header.scenarioSha256 != scenarioSha256)
    return Refuse(ResumeRefusal::OtherScenario,
                  path + " is the journal of another scenario (" +
                      (journal.header.scenarioPath.empty() ? std::string("none") : journal.header.scenarioPath) +
                      ", SHA-256 " + (journal.header.scenarioSha256.empty() ? "none" : journal.header.scenarioSha256) +
                      "); this one's SHA-256 is " + scenarioSha256);
  return std::nullopt;
}

// The header line of a journal file and nothing more: a folder of long shows is not read whole to
// find the newest one of a scenario.
struct HeaderGlance {
  std::string path;
  std::string wall;
  fs::file_time_type written;
};

std::optional<HeaderGlance> Glance(const fs::path& path, const std::string& scenarioSha256) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  line.resize(kMaxJournalLine);
  in.getline(line.data(), static_cast<std::streamsize>(line.size()));
  line.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  const nlohmann::json header = nlohmann::json::parse(line, nullptr, false);
  if (header.is_discarded() || !header.is_object()) return std::nullopt;
  if (header.value("event", std::string()) != "header" || header.value("kind", std::string()) != "show")
    return std::nullopt;
  const auto scenario = header.find("scenario");
  if (scenario == header.end() || !scenario->is_object() || scenario->value("sha256", std::string()) != scenarioSha256)
    return std::nullopt;
  std::error_code error;
  HeaderGlance glance;
  glance.path = path.string();
  glance.wall = header.value("wall", std::string());
  glance.written = fs::last_write_time(path, error);
  return glance;
}

}  // namespace

ResumeCheck PlanResume(const std::string& journalPath, const std::string& scenarioSha256, const ScenarioCues& cues) {
  std::string error;
  const std::optional<ReadJournal> newest = ReadJournalFile(journalPath, error);
  if (!newest) return Refuse(ResumeRefusal::Unreadable, error);
  if (auto refused = RefuseForeign(*newest, journalPath, scenarioSha256)) return *refused;
  if (newest->closed)
    return Refuse(ResumeRefusal::Closed, journalPath + ": the show ended in order: nothing to resume");

  // Back through the shows this one carried on from, until one of them sent a cue. Every cue any
  // of them sent is remembered, so that none is fired again.
  std::set<int32_t> sentLines;
  std::set<std::string> visited;
  std::optional<CueEvent> last;
  std::string lastJournal;
  std::string path = journalPath;
  std::optional<ReadJournal> journal = newest;
  for (int depth = 0;; ++depth) {
    if (journal->header.launchMode == "autonomous")
      return Refuse(ResumeRefusal::Autonomous,
                    path +
                        ": the show was cut short in autonomous launch; the consoles play their stored scenario "
                        "by themselves and the journal cannot tell which cues they fired: nothing to resume");
    for (const CueEvent& cue : journal->cues) {
      if (cue.followed) continue;
      sentLines.insert(cue.line);
      if (lastJournal.empty() || lastJournal == path) {
        last = cue;
        lastJournal = path;
      }
    }
    std::error_code ignored;
    visited.insert(fs::weakly_canonical(path, ignored).string());
    const std::string from = journal->header.resumedFrom;
    if (from.empty()) break;
    if (depth + 1 >= kMaxResumeChain)
      return Refuse(ResumeRefusal::Unreadable, journalPath + ": carries on from more than " +
                                                   std::to_string(kMaxResumeChain) + " shows before it");
    const std::string next = ResolvePredecessor(from, path);
    if (visited.count(fs::weakly_canonical(next, ignored).string()) != 0)
      return Refuse(ResumeRefusal::Unreadable, journalPath + ": its shows carry on from each other in a loop");
    journal = ReadJournalFile(next, error);
    if (!journal) return Refuse(ResumeRefusal::Unreadable, "the show carried on from " + error);
    if (auto refused = RefuseForeign(*journal, next, scenarioSha256)) return *refused;
    path = next;
  }
  if (!last)
    return Refuse(ResumeRefusal::NothingSent,
                  journalPath + ": the show was cut short before its first cue: start it from its beginning");

  const CueId& lastSent = *last;
  const auto at = std::find_if(cues.begin(), cues.end(), [&](const CueId& cue) { return cue == lastSent; });
  if (at == cues.end())
    return Refuse(ResumeRefusal::NotInScenario,
                  lastJournal + ": its last cue sent (" + LineText(last->line) + ") is not a cue of this scenario");
  const int32_t nextCue = static_cast<int32_t>(at - cues.begin()) + 1;
  // The player sends in list order, so every cue after the last one sent is unsent; a journal that
  // says otherwise was not written by this scenario's show, and nothing is risked on it.
  for (size_t i = static_cast<size_t>(nextCue); i < cues.size(); ++i)
    if (sentLines.count(cues[i].line) != 0)
      return Refuse(ResumeRefusal::NotInScenario, lastJournal + ": holds " + LineText(cues[i].line) +
                                                      " as sent, but it comes after the last cue sent (" +
                                                      LineText(last->line) + ")");
  if (static_cast<size_t>(nextCue) >= cues.size())
    return Refuse(ResumeRefusal::AllSent, lastJournal + ": every cue was sent: nothing to resume");

  ResumeCheck check;
  ResumePlan& plan = check.plan;
  plan.journalPath = journalPath;
  plan.lastSentJournal = lastJournal;
  plan.lastSent = *last;
  plan.positionMs = last->plannedMs;
  plan.nextCue = nextCue;
  plan.sentLines.assign(sentLines.begin(), sentLines.end());
  plan.remaining = static_cast<int32_t>(cues.size()) - nextCue;
  return check;
}

ResumeCheck FindResume(const std::string& folder, const std::string& scenarioSha256, const ScenarioCues& cues) {
  std::optional<HeaderGlance> newest;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() != ".jsonl" || !it->is_regular_file(error)) continue;
    const std::optional<HeaderGlance> glance = Glance(it->path(), scenarioSha256);
    if (!glance) continue;
    if (!newest ||
        std::tie(glance->wall, glance->written, glance->path) > std::tie(newest->wall, newest->written, newest->path))
      newest = glance;
  }
  if (!newest) return Refuse(ResumeRefusal::NoJournal, "no show journal of this scenario in " + folder);
  return PlanResume(newest->path, scenarioSha256, cues);
}

}  // namespace fd::journal
