// Reading a journal back: what a crash leaves is read to its last whole line, what is not a
// journal is refused with the line that gave it away.
#include <gtest/gtest.h>

#include <string>

#include "journal/journal_reader.h"

namespace fd::journal {
namespace {

std::string Header() {
  JournalHeader header;
  header.programVersion = "1.0";
  header.scenarioPath = "/shows/finale.txt";
  header.scenarioSha256 = "ab12";
  header.launchMode = "direct";
  header.startMs = 1500;
  header.consoles = {{3, "151", 12.5, 90}};
  header.lastWriteResult = "ok";
  header.lastWriteSha256 = "ab12";
  return HeaderLine(header) + "\n";
}

std::string Cue(int line, int plannedMs) { return CueLine({line, 3, 7, -1, plannedMs, plannedMs + 2, false}) + "\n"; }

TEST(JournalReader, HeaderAndCuesComeBackAsWritten) {
  std::string error;
  const std::string text = Header() + Cue(1, 2000) + CueOutLine(1, 2004) + "\n" +
                           CueLine({2, 3, -1, 51, 2500, 2501, true}) + "\n" +
                           // Not written so by this program: a motion and a channel; the motion cue.
                           R"({"event":"cue_sent","line":3,"console":3,"channel":2,"motion":52,"planned_ms":2550,)"
                           R"("show_ms":2551})"
                           "\n" +
                           StopLine(StopSource::Operator, 2600) + "\n" + CloseLine(2600, 1) + "\n";
  const auto journal = ParseJournal(text, error);
  ASSERT_TRUE(journal) << error;
  EXPECT_EQ(journal->header.scenarioPath, "/shows/finale.txt");
  EXPECT_EQ(journal->header.scenarioSha256, "ab12");
  EXPECT_EQ(journal->header.startMs, 1500);
  ASSERT_EQ(journal->header.consoles.size(), 1u);
  EXPECT_EQ(journal->header.consoles[0].linkQuality, 90);
  EXPECT_EQ(journal->header.lastWriteSha256, "ab12");
  ASSERT_EQ(journal->cues.size(), 3u);
  EXPECT_EQ(journal->cues[0].channel, 7);
  EXPECT_EQ(journal->cues[0].showMs, 2002);
  EXPECT_EQ(journal->cues[0].sentMs, 2004);
  EXPECT_EQ(journal->cues[1].sentMs, -1);
  EXPECT_EQ(journal->cues[1].motion, 51);
  EXPECT_TRUE(journal->cues[1].followed);
  EXPECT_EQ(journal->cues[2].motion, 52);
  EXPECT_EQ(journal->cues[2].channel, -1);
  EXPECT_EQ(journal->events.size(), 6u);
  EXPECT_TRUE(journal->closed);
  EXPECT_FALSE(IsInterruptedShow(*journal));
}

// What a crash or a kill leaves: the file ends anywhere, the last line possibly half written.
TEST(JournalReader, ACutLastLineIsTheEnd) {
  struct Case {
    const char* name;
    std::string text;
    size_t cues;
    bool torn;
  };
  const std::string cue = Cue(1, 2000);
  const Case cases[] = {
      {"after a whole line", Header() + cue, 1, false},
      {"mid-line", Header() + cue + cue.substr(0, 20), 1, true},
      {"a cue cut after a field", Header() + cue + R"({"event":"cue_sent","line":2})", 1, true},
      {"whole line without its newline", Header() + cue + Cue(2, 2100).substr(0, cue.size() - 1), 2, false},
      {"header only", Header(), 0, false},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto journal = ParseJournal(c.text, error);
    ASSERT_TRUE(journal) << c.name << ": " << error;
    EXPECT_EQ(journal->cues.size(), c.cues) << c.name;
    EXPECT_EQ(journal->tornTail, c.torn) << c.name;
    EXPECT_TRUE(IsInterruptedShow(*journal)) << c.name;
  }
}

TEST(JournalReader, WhatIsNotAJournalIsRefused) {
  struct Case {
    const char* name;
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {"empty", "", "no journal header"},
      {"a torn header", Header().substr(0, 30), "line 1 is not a journal event"},
      {"no header", Cue(1, 0), "line 1: a journal begins with its header"},
      {"a scenario file", "0:00.0 1 1\n", "line 1 is not a journal event"},
      {"garbage in the middle", Header() + "garbage\n" + Cue(1, 0), "line 2 is not a journal event"},
      {"a second header", Header() + Header(), "line 2: a second header"},
      {"a cue without its times",
       Header() + R"({"event":"cue_sent","line":1,"console":3,"channel":1})"
                  "\n",
       "line 2: a cue without its line, console, channel or times"},
      {"a time beyond 32 bits",
       Header() + R"({"event":"cue_sent","line":1,"console":3,"channel":1,"planned_ms":1e12,"show_ms":1})"
                  "\n",
       "line 2: a cue without its line, console, channel or times"},
      {"an array, not an event", Header() + "[1,2]\n", "line 2 is not a journal event"},
      {"binary", std::string("\x00\xff\xfe\n", 4), "line 1 is not a journal event"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseJournal(c.text, error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST(JournalReader, AFileThatCannotBeReadIsNamed) {
  std::string error;
  EXPECT_FALSE(ReadJournalFile("/nonexistent/j.jsonl", error));
  EXPECT_EQ(error, "/nonexistent/j.jsonl: File not found");
  EXPECT_FALSE(ReadJournalFile("/tmp", error));
  EXPECT_EQ(error, "/tmp: not a file");
}

}  // namespace
}  // namespace fd::journal
