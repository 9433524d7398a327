// Where a show cut short carries on: just after the last cue its journals hold as sent, never
// firing one of those again, and never from a journal of another scenario or of a show that ended.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
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

// A journal as a show writes it: the header (its "wall" made second `second` of a day, so that
// "newest" does not depend on how fast the test runs), the cues of the given lines as sent.
struct JournalSpec {
  JournalSpec(std::string name_, int second_, std::vector<int> sent_, bool closed_ = false, std::string sha_ = kSha,
              std::string kind_ = "show", std::string launch_ = "direct", std::string resumedFrom_ = {},
              std::string tail_ = {})
      : name(std::move(name_)),
        second(second_),
        sent(std::move(sent_)),
        closed(closed_),
        sha(std::move(sha_)),
        kind(std::move(kind_)),
        launch(std::move(launch_)),
        resumedFrom(std::move(resumedFrom_)),
        tail(std::move(tail_)) {}
  std::string name;
  int second;
  std::vector<int> sent;  // lines of kCues
  bool closed;
  std::string sha;
  std::string kind;
  std::string launch;
  std::string resumedFrom;  // a name in the folder
  std::string tail;         // bytes after the last whole line (a write a kill cut short)
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
  text += spec.tail;
  std::ofstream(dir / spec.name, std::ios::binary) << text;
  return dir / spec.name;
}

struct Case {
  Case(const char* what_, std::vector<JournalSpec> journals_, ResumeRefusal refusal_, int32_t positionMs_ = 0,
       int32_t nextCue_ = 0, int lastLine_ = 0, std::string lastJournal_ = {}, std::vector<int32_t> sentLines_ = {})
      : what(what_),
        journals(std::move(journals_)),
        refusal(refusal_),
        positionMs(positionMs_),
        nextCue(nextCue_),
        lastLine(lastLine_),
        lastJournal(std::move(lastJournal_)),
        sentLines(std::move(sentLines_)) {}
  const char* what;
  std::vector<JournalSpec> journals;
  ResumeRefusal refusal;
  int32_t positionMs;
  int32_t nextCue;
  int lastLine;
  std::string lastJournal;  // name of the journal holding the last cue sent
  std::vector<int32_t> sentLines;
};

TEST(ShowResume, TheNewestJournalOfTheScenarioDecides) {
  const std::vector<Case> cases = {
      {"newest interrupted journal offered, older ones ignored",
       {{"a.jsonl", 1, {1, 2, 3, 4, 5}, true}, {"b.jsonl", 9, {1}}, {"c.jsonl", 5, {1, 2}}},
       ResumeRefusal::None,
       1000,
       1,
       1,
       "b.jsonl",
       {1}},
      {"a show that ended in order is not offered",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {1}, true}},
       ResumeRefusal::Closed},
      {"another scenario's journal is never offered",
       {{"a.jsonl", 1, {1}, false, "0ther"}, {"w.jsonl", 3, {}, false, kSha, "write"}},
       ResumeRefusal::NoJournal},
      {"a torn last line is the end: that cue's frame never went out",
       {{"a.jsonl", 1, {1, 2}, false, kSha, "show", "direct", "", "{\"event\":\"cue_sent\",\"line\":3,\"cons"}},
       ResumeRefusal::None,
       2000,
       2,
       2,
       "a.jsonl",
       {1, 2}},
      {"a burst cut by the kill: only its unsent cues remain",
       {{"a.jsonl", 1, {1, 2, 3}}},
       ResumeRefusal::None,
       2000,
       3,
       3,
       "a.jsonl",
       {1, 2, 3}},
      {"a resumed show killed before its first cue carries on from the one it resumed",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {}, false, kSha, "show", "direct", "a.jsonl"}},
       ResumeRefusal::None,
       2000,
       2,
       2,
       "a.jsonl",
       {1, 2}},
      {"through two resumes, every cue of the chain counts as sent",
       {{"a.jsonl", 1, {1}},
        {"b.jsonl", 2, {2, 3}, true, kSha, "show", "direct", "a.jsonl"},
        {"c.jsonl", 3, {}, false, kSha, "show", "direct", "b.jsonl"}},
       ResumeRefusal::None,
       2000,
       3,
       3,
       "b.jsonl",
       {1, 2, 3}},
      {"a resumed show that ended in order is not offered again",
       {{"a.jsonl", 1, {1, 2}}, {"b.jsonl", 2, {3, 4, 5}, true, kSha, "show", "direct", "a.jsonl"}},
       ResumeRefusal::Closed},
      {"cut short before its first cue", {{"a.jsonl", 1, {}}}, ResumeRefusal::NothingSent},
      {"autonomous launch: the consoles played on by themselves",
       {{"a.jsonl", 1, {1}, false, kSha, "show", "autonomous"}},
       ResumeRefusal::Autonomous},
      {"killed after the last cue, before the end of the show",
       {{"a.jsonl", 1, {1, 2, 3, 4, 5}}},
       ResumeRefusal::AllSent},
      {"shows that carry on from each other in a loop",
       {{"a.jsonl", 1, {}, false, kSha, "show", "direct", "b.jsonl"},
        {"b.jsonl", 2, {}, false, kSha, "show", "direct", "a.jsonl"}},
       ResumeRefusal::Unreadable},
      {"a chain into another scenario's journal",
       {{"a.jsonl", 1, {1}, false, "0ther"}, {"b.jsonl", 2, {}, false, kSha, "show", "direct", "a.jsonl"}},
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
    EXPECT_EQ(check.plan.positionMs, c.positionMs);
    EXPECT_EQ(check.plan.nextCue, c.nextCue);
    EXPECT_EQ(check.plan.remaining, static_cast<int32_t>(kCues.size()) - c.nextCue);
    EXPECT_EQ(check.plan.lastSent.line, c.lastLine);
    EXPECT_EQ(check.plan.lastSentJournal, dir / c.lastJournal);
    EXPECT_EQ(check.plan.sentLines, c.sentLines);
  }
}

TEST(ShowResume, ANamedJournalIsRefusedWithAClearReason) {
  support::testing::TempDir dir;
  const std::string other = Write(dir, {"other.jsonl", 1, {1}, false, "0ther"});
  const std::string closed = Write(dir, {"closed.jsonl", 2, {1}, true});
  const std::string write = Write(dir, {"write.jsonl", 3, {}, true, kSha, "write"});
  const std::string foreign = dir / "foreign.jsonl";
  std::ofstream(foreign) << "not a journal\n";
  struct Refused {
    std::string path;
    ResumeRefusal refusal;
    std::string reason;
  };
  const std::vector<Refused> cases = {
      {other, ResumeRefusal::OtherScenario,
       other + " is the journal of another scenario (/shows/finale.txt, SHA-256 0ther); this one's SHA-256 is 5ce0"},
      {closed, ResumeRefusal::Closed, closed + ": the show ended in order: nothing to resume"},
      {write, ResumeRefusal::NotAShow, write + " is the journal of a write, not of a show"},
      {foreign, ResumeRefusal::Unreadable, foreign + " is not a firnadesk journal: line 1 is not a journal event"},
      {dir / "gone.jsonl", ResumeRefusal::Unreadable, dir / "gone.jsonl" + ": File not found"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.path);
    const ResumeCheck check = PlanResume(c.path, kSha, kCues);
    EXPECT_EQ(check.refusal, c.refusal);
    EXPECT_EQ(check.reason, c.reason);
  }
  // A journal whose last cue names another console than the scenario's line does.
  ScenarioCues changed = kCues;
  changed[1].console = 9;
  const std::string sent = Write(dir, {"sent.jsonl", 4, {1, 2}});
  const ResumeCheck mismatch = PlanResume(sent, kSha, changed);
  EXPECT_EQ(mismatch.refusal, ResumeRefusal::NotInScenario);
  EXPECT_EQ(mismatch.reason, sent + ": its last cue sent (line 2) is not a cue of this scenario");
}

TEST(ShowResume, AJournalFolderCopiedElsewhereStillFindsTheShowItCarriedOn) {
  support::testing::TempDir dir;
  Write(dir, {"a.jsonl", 1, {1, 2, 3}});
  JournalSpec resumed{"b.jsonl", 2, {}, false, kSha, "show", "direct", "a.jsonl"};
  const std::string b = Write(dir, resumed);
  // The header names the first journal where it was on the machine that wrote it.
  std::string text = support::testing::ReadBytes(b);
  const std::string here = dir / "a.jsonl";
  text.replace(text.find(here), here.size(), "/media/stick/journal/a.jsonl");
  std::ofstream(b, std::ios::binary | std::ios::trunc) << text;
  const ResumeCheck check = PlanResume(b, kSha, kCues);
  ASSERT_TRUE(check.Offered()) << check.reason;
  EXPECT_EQ(check.plan.nextCue, 3);
  EXPECT_EQ(check.plan.lastSentJournal, dir / "a.jsonl");
}

}  // namespace
}  // namespace fd::journal
