#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/virtual_platform.h"
#include "scenario_files.h"
#include "show/project_list.h"

namespace fd::show {
namespace {

using devices::CueRecord;

class ProjectListTest : public ::testing::Test {
 protected:
  LoadResult Load(const std::string& bytes, const std::string& name = "show.txt") {
    return list.LoadFromFile(folder.Write(name, bytes));
  }
  // Loads a file that must load and returns its only cue.
  CueRecord LoadOne(const std::string& line) {
    LoadResult r = Load(line + "\n");
    EXPECT_TRUE(r.Ok()) << "line \"" << line << "\": " << r.Message;
    EXPECT_EQ(list.Count(), 1) << line;
    return list.Count() == 1 ? list.Items(0) : CueRecord{};
  }
  // Loads a file that must fail at the given line, with the operator's message and nothing kept.
  void ExpectFailsAt(const std::string& bytes, int line) {
    platform.messages.clear();
    LoadResult r = Load(bytes);
    EXPECT_EQ(r.Status, LoadStatus::LineError) << bytes;
    EXPECT_EQ(r.Line, line) << bytes;
    EXPECT_EQ(list.Count(), 0) << bytes;
    EXPECT_EQ(list.FileName(), "") << bytes;
    ASSERT_EQ(platform.messages.size(), 1u) << bytes;
    EXPECT_EQ(platform.messages[0].text, "Ошибка загрузки сценария (строка: " + std::to_string(line) + ").");
    EXPECT_EQ(platform.messages[0].caption, "Ошибка");
  }

  platform::VirtualPlatform platform;
  testing::ScenarioFolder folder;
  TProjectList list{platform};
};

TEST_F(ProjectListTest, ReadsTheDocumentedLines) {
  CueRecord a = LoadOne("0:01:30.5\t3\t12\tfinale");
  EXPECT_EQ(a.TimeText, "0:01:30.5");
  EXPECT_EQ(a.TimeMs, 90500);
  EXPECT_EQ(a.Console, 3);
  EXPECT_EQ(a.CueKind, devices::ChannelCue);
  EXPECT_EQ(a.Channel, 11);
  EXPECT_EQ(a.Comment, "finale");

  CueRecord b = LoadOne("1:05 2 #LT#2.5#80");
  EXPECT_EQ(b.TimeMs, 65000);
  EXPECT_EQ(b.Console, 2);
  EXPECT_EQ(b.CueKind, devices::MotionLT);
  EXPECT_EQ(b.Param1, 25);
  EXPECT_EQ(b.Param2, 204);
  EXPECT_EQ(b.Comment, "");

  CueRecord c = LoadOne("10 4 #c");
  EXPECT_EQ(c.TimeMs, 10000);
  EXPECT_EQ(c.Console, 4);
  EXPECT_EQ(c.CueKind, devices::MotionC);
  EXPECT_EQ(c.Param1, 255);
  EXPECT_EQ(c.Param2, 0);

  CueRecord d = LoadOne("10 4 #R#50");
  EXPECT_EQ(d.CueKind, devices::MotionR);
  EXPECT_EQ(d.Param1, 127);
  EXPECT_EQ(d.Param2, 0);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ProjectListTest, MotionCommandsInEveryForm) {
  CueRecord lt = LoadOne("1 5 #lt");
  EXPECT_EQ(lt.CueKind, devices::MotionLT);
  EXPECT_EQ(lt.Param1, 255);
  EXPECT_EQ(lt.Param2, 255);
  EXPECT_EQ(lt.Channel, -1) << "a motion cue must not point at channel 1";

  CueRecord lt3 = LoadOne("1 5 #LT#3");
  EXPECT_EQ(lt3.Param1, 30);
  EXPECT_EQ(lt3.Param2, 255);

  CueRecord rt = LoadOne("1 5 #Rt#1:00#100#ignored#more");
  EXPECT_EQ(rt.CueKind, devices::MotionRT);
  EXPECT_EQ(rt.Param1, 600);
  EXPECT_EQ(rt.Param2, 255);

  // The duration is a time field: it never fails, it reads as 0 or as far as it goes.
  CueRecord badDuration = LoadOne("1 5 #LT#x#50");
  EXPECT_EQ(badDuration.Param1, 0);
  EXPECT_EQ(badDuration.Param2, 127);
  CueRecord shortDuration = LoadOne("1 5 #LT#0.05");
  EXPECT_EQ(shortDuration.Param1, 0) << "50 ms is less than a tenth: truncated toward zero";
  CueRecord negative = LoadOne("1 5 #RT#-2.5");
  EXPECT_EQ(negative.Param1, -15) << "-2 s + 0.5 s = -1500 ms, -15 tenths";

  CueRecord l = LoadOne("1 5 #L#200");
  EXPECT_EQ(l.CueKind, devices::MotionL);
  EXPECT_EQ(l.Param1, 510) << "levels are not clamped";
  CueRecord r = LoadOne("1 5 #r#-10#junk");
  EXPECT_EQ(r.CueKind, devices::MotionR);
  EXPECT_EQ(r.Param1, -25);
  EXPECT_EQ(r.Param2, 0);
}

TEST_F(ProjectListTest, BadLinesFailAndNameTheirLineCountingEmptyLines) {
  ExpectFailsAt("1 1 1\n\n\n00:00:10 1 x\n5 1 1\n", 4);
  ExpectFailsAt("1 1\n", 1);           // no third field
  ExpectFailsAt("2 2 2\r\n1\r\n", 2);  // no console either
  ExpectFailsAt("1 1 1\n   \n", 2);    // blanks only: a cue line with empty fields
  ExpectFailsAt("\t\n", 1);
  ExpectFailsAt("1 x 1\n", 1);
  ExpectFailsAt("1 1.5 1\n", 1);
  ExpectFailsAt("1 99999999999 1\n", 1);  // not a 32-bit integer
  ExpectFailsAt("1 1 99999999999\n", 1);
  ExpectFailsAt("1 1 12a comment\n", 1);
  ExpectFailsAt("1 1 #C#x\n", 1);  // percentage not an integer
  ExpectFailsAt("1 1 #C#\n", 1);   // an empty piece is still a piece
  ExpectFailsAt("1 1 #LT#2#\n", 1);
  ExpectFailsAt("1 1 #R#50%\n", 1);
  ExpectFailsAt("1 1 #C#900000000\n", 1);  // level beyond 32 bits
  ExpectFailsAt("\n\n1 1 #\n", 3);         // a bare "#" is no motion command
  ExpectFailsAt("1 1 #X\n", 1);
  ExpectFailsAt("1 1 #LTX\n", 1);
  ExpectFailsAt("1 1 ##C\n", 1);
}

TEST_F(ProjectListTest, FailedLoadDropsThePreviousScenarioAndEveryCueOfTheFile) {
  ASSERT_TRUE(Load("1 1 1\n2 1 2\n", "first.txt").Ok());
  ASSERT_EQ(list.Count(), 2);
  ASSERT_EQ(list.FileName(), "first.txt");
  ExpectFailsAt("1 1 1\n2 2 2\n3 3 zz\n4 4 4\n", 3);
}

TEST_F(ProjectListTest, SortsByTimeAndKeepsFileOrderForEqualTimes) {
  ASSERT_TRUE(Load("5 1 1\n3 1 2\n3 2 7 second at 3\n0:03 9 9 third at 3\n1 1 1\n").Ok());
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Items(0).TimeMs, 1000);
  EXPECT_EQ(list.Items(1).Channel, 1);
  EXPECT_EQ(list.Items(2).Comment, "second at 3");
  EXPECT_EQ(list.Items(3).Comment, "third at 3");
  EXPECT_EQ(list.Items(4).TimeMs, 5000);
  EXPECT_EQ(list.LastTime(), 5000);
}

TEST_F(ProjectListTest, FieldSeparatorsAndComments) {
  CueRecord a = LoadOne("  \t 2 \t\t 3    4\t\tfirst part\tsecond part\tthird");
  EXPECT_EQ(a.TimeMs, 2000);
  EXPECT_EQ(a.Console, 3);
  EXPECT_EQ(a.Channel, 3);
  EXPECT_EQ(a.Comment, "first part") << "only the text before the next TAB is kept";

  CueRecord b = LoadOne("1 1 1   spaces  inside are kept  ");
  EXPECT_EQ(b.Comment, "spaces  inside are kept  ");

  CueRecord zero = LoadOne("1 1 0");
  EXPECT_EQ(zero.Channel, -1) << "channel 0 is kept as -1";

  CueRecord hex = LoadOne("1 $1F 0x10");
  EXPECT_EQ(hex.Console, 31);
  EXPECT_EQ(hex.Channel, 15);

  CueRecord negative = LoadOne("1 -3 -4");
  EXPECT_EQ(negative.Console, -3);
  EXPECT_EQ(negative.Channel, -5);

  // The channel number without a predecessor wraps (defined) rather than overflowing.
  CueRecord lowest = LoadOne("1 1 -2147483648");
  EXPECT_EQ(lowest.Channel, 2147483647);
}

TEST_F(ProjectListTest, TextLimitsCountTheFilesCharacters) {
  std::string longTime = std::string(38, '0') + "10";  // 40 characters, reads as 10 s
  CueRecord a = LoadOne(longTime + " 1 1");
  EXPECT_EQ(a.TimeText, longTime.substr(0, 32));
  EXPECT_EQ(a.TimeMs, 10000) << "the time parses in full";

  // 300 Cyrillic letters in Windows-1251: 255 are kept, each two bytes in UTF-8.
  CueRecord b = LoadOne("1 1 1 " + std::string(300, '\xcf'));
  std::string expected;
  for (int i = 0; i < 255; ++i) expected += "П";
  EXPECT_EQ(b.Comment, expected);

  CueRecord c = LoadOne("1 1 1 " + std::string(255, 'x') + "yyy");
  EXPECT_EQ(c.Comment, std::string(255, 'x'));
}

TEST_F(ProjectListTest, Windows1251TextsBecomeUtf8) {
  // "Финал, залп 1" and a time field with a Cyrillic letter in Windows-1251 bytes.
  CueRecord a = LoadOne("12\xe0 4 2 \xd4\xe8\xed\xe0\xeb, \xe7\xe0\xeb\xef 1");
  EXPECT_EQ(a.Comment, "Финал, залп 1");
  EXPECT_EQ(a.TimeText, "12а");
  EXPECT_EQ(a.TimeMs, 0);
  CueRecord b = LoadOne("1 1 1 \xb8\xa8 \xab\xbb \xb9");
  EXPECT_EQ(b.Comment, "ёЁ «» №");
}

TEST_F(ProjectListTest, LineEndsAndEmptyLines) {
  ASSERT_TRUE(Load("1 1 1 a\r\n\r\n2 1 2 b\n\n3 1 3 c").Ok()) << "last line without a line break";
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0).Comment, "a") << "CR of CR LF is not part of the line";
  EXPECT_EQ(list.Items(1).Comment, "b");
  EXPECT_EQ(list.Items(2).Comment, "c");

  CueRecord lone = LoadOne("1 1 1 one\rline");
  EXPECT_EQ(lone.Comment, "one\rline") << "a lone CR does not end a line";

  // The line numbers still count CR LF empty lines.
  ExpectFailsAt("\r\n\r\n1 1\r\n", 3);
}

TEST_F(ProjectListTest, EmptyFilesLoadAsEmptyListsWithTheirName) {
  for (const std::string& bytes : {std::string(), std::string("\n\n\r\n\n")}) {
    platform.messages.clear();
    LoadResult r = Load(bytes, "empty.txt");
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.LastTime(), 0);
    EXPECT_EQ(list.FileName(), "empty.txt");
    EXPECT_TRUE(platform.messages.empty());
  }
}

TEST_F(ProjectListTest, FileNameHasNoFolder) {
  ASSERT_TRUE(list.LoadFromFile(folder.Write("Новый год.txt", "1 1 1\n")).Ok());
  EXPECT_EQ(list.FileName(), "Новый год.txt");
  list.Clear();
  EXPECT_EQ(list.FileName(), "");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ProjectListTest, OpenFailuresAreReturnedNotShown) {
  ASSERT_TRUE(Load("1 1 1\n").Ok());
  LoadResult missing = list.LoadFromFile(folder.Path("no such file.txt"));
  EXPECT_EQ(missing.Status, LoadStatus::OpenFailed);
  EXPECT_EQ(missing.Message, "File not found");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FileName(), "");

  LoadResult folderPath = list.LoadFromFile(folder.Path(""));
  EXPECT_EQ(folderPath.Status, LoadStatus::OpenFailed);
  EXPECT_EQ(folderPath.Message, "File access denied");

  LoadResult noFolder = list.LoadFromFile(folder.Write("plain.txt", "x") + "/inside.txt");
  EXPECT_EQ(noFolder.Status, LoadStatus::OpenFailed);
  EXPECT_EQ(noFolder.Message, "Path not found");
  EXPECT_TRUE(platform.messages.empty()) << "the window reports open failures itself";
}

TEST_F(ProjectListTest, AReadFailureIsALineError) {
  // Reading this process's memory at address 0 fails with an I/O error on Linux.
  int fd = ::open("/proc/self/mem", O_RDONLY);
  char probe;
  bool fails = fd >= 0 && ::read(fd, &probe, 1) < 0;
  if (fd >= 0) ::close(fd);
  if (!fails) GTEST_SKIP() << "no file here fails on read";
  ASSERT_TRUE(Load("1 1 1\n").Ok());
  LoadResult r = list.LoadFromFile("/proc/self/mem");
  EXPECT_EQ(r.Status, LoadStatus::LineError);
  EXPECT_EQ(r.Line, 1);
  EXPECT_EQ(list.Count(), 0);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "Ошибка загрузки сценария (строка: 1).");
}

TEST_F(ProjectListTest, ItemsAreBoundsCheckedAndReplaceable) {
  ASSERT_TRUE(Load("3 1 1 c\n1 1 1 a\n2 1 1 b\n").Ok());
  EXPECT_THROW(list.Items(-1), std::out_of_range);
  EXPECT_THROW(list.Items(3), std::out_of_range);
  CueRecord replacement = list.Items(0);
  replacement.TimeMs = 9000;
  replacement.Comment = "moved";
  list.SetItem(0, replacement);
  EXPECT_THROW(list.SetItem(3, replacement), std::out_of_range);
  EXPECT_EQ(list.LastTime(), 3000) << "LastTime is the last record, not the maximum";
  list.SortByTime();
  EXPECT_EQ(list.Items(0).Comment, "b");
  EXPECT_EQ(list.Items(2).Comment, "moved");
  EXPECT_EQ(list.LastTime(), 9000);
}

TEST_F(ProjectListTest, QuietListReportsOnlyThroughTheResult) {
  TProjectList quiet;
  LoadResult r = quiet.LoadFromFile(folder.Write("bad.txt", "\n1 1 x\n"));
  EXPECT_EQ(r.Status, LoadStatus::LineError);
  EXPECT_EQ(r.Line, 2);
  EXPECT_EQ(r.Message, "Ошибка загрузки сценария (строка: 2).");
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
}  // namespace fd::show
