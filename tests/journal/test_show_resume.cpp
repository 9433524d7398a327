// Where a show cut short carries on: just after the last cue its journals hold as sent, never
// firing one of those again, and never from a journal of another scenario or of a show that ended.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "journal/show_resume.h"
#include "support/temp_dir.h"

namespace fd::journal {
namespace {

constexpr const char* kSha = "5ce0";

// Lines 1 to 5 in list order: a cue at 1 s, a burst of three at 2 s, a motion at 3 s.
const ScenarioCues kCues = {{1, 1, 1, -1, 1000, 0, false},
                            {2, 2, 3, -1, 2000, 0, false},
                            {3, 3, 1, -1, 2000, 0, false},
                            {4, 6, 2, -1, 2000, 0, false},
                            {5, 7, -1, 51, 3000, 0, false}};

// A journal as a show writes it: its "wall" at second `second` of a minute (so "newest" does not
// depend on the test's speed), then the cues of the given lines of kCues as sent.
struct JournalSpec {
  std::string name;
  int second;
  std::vector<int> sent;
  bool closed = false;
  std::string resumedFrom = {};  // a name in the folder
  std::string sha = kSha;
  std::string kind = "show";
  std::string launch = "direct";
  std::string tail = {};  // bytes after the last whole line (a write a kill cut short)
};

std::string Write(const support::testing::TempDir& dir, const JournalSpec& spec) {
  JournalHeader header;
  header.kind = spec.kind;
  header.scenarioPath = "/shows/finale.txt";
  header.scenarioSha256 = spec.sha;
  header.launchMode = spec.launch;
  if (!spec.resumedFrom.empty()) header.resumedFrom = dir / spec.resumedFrom;
  nlohmann::ordered_json first = nlohmann::ordered_json::parse(HeaderLine(header));
  first["wall"] =
      "2026-05-01T20:00:" + std::string(spec.second < 10 ? "0" : "") + std::to_string(spec.second) + ".000Z";
  std::string text = first.dump() + "\n";
  for (int line : spec.sent) {
    CueEvent cue = kCues[static_cast<size_t>(line - 1)];
    cue.showMs = cue.plannedMs + 3;
    text += CueLine(cue) + "\n";
  }
  if (spec.closed) text += CloseLine(3500, static_cast<int64_t>(spec.sent.size())) + "\n";
  support::testing::WriteBytes(dir / spec.name, text + spec.tail);
  return dir / spec.name;
}

TEST(ShowResume, TheNewestJournalOfTheScenarioDecides) {
  struct Case {
    const char* what;
    std::vector<JournalSpec> journals;
    struct {
      int32_t positionMs = 0;
      int32_t nextCue = 0;  // also the line of the last cue sent
      std::string lastJournal = {};
    } offer = {};
    ResumeRefusal refusal = ResumeRefusal::None;
  } const cases[] = {
      {"newest interrupted journal offered, older ones ignored",
       {{"a.jsonl", 1, {1, 2, 3, 4, 5}, true}, {"b.jsonl", 9, {1}}, {"c.jsonl", 5, {1, 2}}},
       {1000, 1, "b.jsonl"}},
      {"a show that ended in order is not offered",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {1}, true}},
       {},
       ResumeRefusal::Closed},
      {"another scenario's journal is never offered",
       {{"a.jsonl", 1, {1}, false, "", "0ther"}, {"w.jsonl", 3, {}, false, "", kSha, "write"}},
       {},
       ResumeRefusal::NoJournal},
      {"a torn last line is the end: that cue's frame never went out",
       {{"a.jsonl", 1, {1, 2}, false, "", kSha, "show", "direct", "{\"event\":\"cue_sent\",\"line\":3,\"cons"}},
       {2000, 2, "a.jsonl"}},
      {"a burst cut by the kill: only its unsent cues remain", {{"a.jsonl", 1, {1, 2, 3}}}, {2000, 3, "a.jsonl"}},
      {"a resumed show killed before its first cue carries on from the one it resumed",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {}, false, "a.jsonl"}},
       {2000, 2, "a.jsonl"}},
      {"through two resumes, every cue of the chain counts as sent",
       {{"a.jsonl", 1, {1}}, {"b.jsonl", 2, {2, 3}, true, "a.jsonl"}, {"c.jsonl", 3, {}, false, "b.jsonl"}},
       {2000, 3, "b.jsonl"}},
      {"a resumed show that ended in order is not offered again",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {3, 4, 5}, true, "a.jsonl"}},
       {},
       ResumeRefusal::Closed},
      {"cut short before its first cue", {{"a.jsonl", 1, {}}}, {}, ResumeRefusal::NothingSent},
      {"autonomous launch: the consoles played on by themselves",
       {{"a.jsonl", 1, {1}, false, "", kSha, "show", "autonomous"}},
       {},
       ResumeRefusal::Autonomous},
      {"killed after the last cue, before the end of the show",
       {{"a.jsonl", 1, {1, 2, 3, 4, 5}}},
       {},
       ResumeRefusal::AllSent},
      {"shows that carry on from each other in a loop",
       {{"a.jsonl", 1, {}, false, "b.jsonl"}, {"b.jsonl", 2, {}, false, "a.jsonl"}},
       {},
       ResumeRefusal::Unreadable},
      {"a chain into another scenario's journal",
       {{"a.jsonl", 1, {1}, false, "", "0ther"}, {"b.jsonl", 2, {}, false, "a.jsonl"}},
       {},
       ResumeRefusal::OtherScenario},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    support::testing::TempDir dir;
    for (const JournalSpec& spec : c.journals) Write(dir, spec);
    const ResumeCheck check = FindResume(dir.Path(), kSha, kCues);
    EXPECT_EQ(check.refusal, c.refusal) << check.reason;
    if (c.refusal != ResumeRefusal::None) {
      EXPECT_FALSE(check.reason.empty());
      continue;
    }
    std::vector<int32_t> sentLines;
    for (int32_t line = 1; line <= c.offer.nextCue; ++line) sentLines.push_back(line);
    EXPECT_EQ(check.plan.positionMs, c.offer.positionMs);
    EXPECT_EQ(check.plan.nextCue, c.offer.nextCue);
    EXPECT_EQ(check.plan.remaining, static_cast<int32_t>(kCues.size()) - c.offer.nextCue);
    EXPECT_EQ(check.plan.lastSent.line, c.offer.nextCue);
    EXPECT_EQ(check.plan.lastSentJournal, dir / c.offer.lastJournal);
    EXPECT_EQ(check.plan.sentLines, sentLines);
  }
}

TEST(ShowResume, ANamedJournalIsRefusedWithAClearReasonOrFoundWhereverItWasCopied) {
  support::testing::TempDir dir;
  const std::string other = Write(dir, {"other.jsonl", 1, {1}, false, "", "0ther"});
  const std::string closed = Write(dir, {"closed.jsonl", 2, {1}, true});
  const std::string write = Write(dir, {"write.jsonl", 3, {}, true, "", kSha, "write"});
  const std::string sent = Write(dir, {"sent.jsonl", 4, {1, 2}});
  const std::string foreign = dir / "foreign.jsonl", gone = dir / "gone.jsonl";
  support::testing::WriteBytes(foreign, "not a journal\n");
  ScenarioCues changed = kCues;  // line 2 on another console than its journal names
  changed[1].console = 9;
  const struct {
    std::string path;
    const ScenarioCues& cues;
    ResumeRefusal refusal;
    std::string reason;
  } cases[] = {
      {other, kCues, ResumeRefusal::OtherScenario,
       other + " is the journal of another scenario (/shows/finale.txt, SHA-256 0ther); this one's SHA-256 is 5ce0"},
      {closed, kCues, ResumeRefusal::Closed, closed + ": the show ended in order: nothing to resume"},
      {write, kCues, ResumeRefusal::NotAShow, write + " is the journal of a write, not of a show"},
      {foreign, kCues, ResumeRefusal::Unreadable,
       foreign + " is not a firnadesk journal: line 1 is not a journal event"},
      {gone, kCues, ResumeRefusal::Unreadable, gone + ": File not found"},
      {sent, changed, ResumeRefusal::NotInScenario,
       sent + ": its last cue sent (line 2) is not a cue of this scenario"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const ResumeCheck check = PlanResume(c.path, kSha, c.cues);
    EXPECT_EQ(check.refusal, c.refusal);
    EXPECT_EQ(check.reason, c.reason);
  }
  // A resumed show's header names the first journal where it was on the machine that wrote it.
  const std::string b = Write(dir, {"b.jsonl", 5, {}, false, "sent.jsonl"});
  std::string text = support::testing::ReadBytes(b);
  text.replace(text.find(sent), sent.size(), "/media/stick/journal/sent.jsonl");
  support::testing::WriteBytes(b, text);
  const ResumeCheck check = PlanResume(b, kSha, kCues);
  ASSERT_TRUE(check.Offered()) << check.reason;
  EXPECT_EQ(check.plan.nextCue, 2);
  EXPECT_EQ(check.plan.lastSentJournal, sent);
}

}  // namespace
}  // namespace fd::journal
