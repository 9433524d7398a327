// Scripts as show-design programs write them: delimiters, encodings, quoting, time forms, header
// names, the "#" preamble, and every reason a row is refused.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "import/scenario_text.h"
#include "import/script_import.h"

namespace fd::import {
namespace {

// UTF-8 text as UTF-16LE bytes with their byte-order mark.
std::string Utf16Le(const std::string& utf8) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* dst = out.data();
  iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return "\xFF\xFE" + out;
}

ImportSettings With(const std::string& columns = {}, FrameRate fps = FrameRate::Unknown, TimeUnit unit = TimeUnit::Seconds,
                    const std::string& offset = {}) {
  ImportSettings s;
  std::string error;
  if (!columns.empty() && !ParseColumnsOption(columns, s.Columns, error)) ADD_FAILURE() << error;
  s.Rows.Time.Fps = fps;
  s.Rows.Time.Unit = unit;
  if (!offset.empty()) {
    std::string reason;
    if (!ParseScriptTime(offset, s.Rows.Time, s.Rows.OffsetMs, reason)) ADD_FAILURE() << reason;
    s.Rows.HasOffset = true;
  }
  return s;
}

// "line time console target comment" of a cue, as compact as a table can hold it.
std::string CueText(const devices::CueRecord& cue) {
  return std::to_string(cue.Line) + " " + std::to_string(cue.TimeMs) + " " + std::to_string(cue.Console) + " " +
         ScenarioTarget(cue) + " " + cue.Comment;
}

struct Dialect {
  const char* name;
  std::string bytes;
  ImportSettings settings;
  std::string encoding;  // as detected
  char delimiter;
  std::vector<std::string> cues;          // CueText of each, in the script's order
  std::vector<std::string> badRows = {};  // "line: reason"
  size_t replaced = 0;
};

TEST(ScriptDialects, EveryDialectReadsToTheSameCues) {
  const std::vector<Dialect> dialects = {
      {"comma, UTF-8, seconds with a point",
       "Time,Module,Pin,Effect\n1.5,3,12,Red peony\n90,4,2,\n",
       With(),
       "UTF-8",
       ',',
       {"2 1500 3 12 Red peony", "3 90000 4 2 "}},
      {"semicolon, UTF-8 with BOM, decimal comma, Russian headers",
       "\xEF\xBB\xBF"
       "Время;Пульт;Канал;Комментарий\r\n1,25;7;1;Фонтан\r\n",
       With(),
       "UTF-8 with BOM",
       ';',
       {"2 1250 7 1 Фонтан"}},
      {"TAB, UTF-16LE, H:MM:SS.xx",
       Utf16Le("Event Time\tRail\tCue\tDescription\r\n0:01:30.25\t2\t5\tСалют\r\n1:05.5\t2\t6\tx\r\n"),
       With(),
       "UTF-16LE",
       '\t',
       {"2 90250 2 5 Салют", "3 65500 2 6 x"}},
      {"Windows-1252 with a letter Windows-1251 has not",
       "Shot Time,Address,Channel,Name\n2,1,1,Caf\xE9 cr\xE8me\n",
       With(),
       "WINDOWS-1252",
       ',',
       {"2 2000 1 1 Caf? cr?me"},
       {},
       2},
      {"Windows-1251 read as Cyrillic",
       "\xC2\xF0\xE5\xEC\xFF;\xCF\xF3\xEB\xFC\xF2;\xCA\xE0\xED\xE0\xEB;\xCA\xEE\xEC\xEC\xE5\xED\xF2\xE0\xF0\xE8\xE9\n"
       "3;2;4;\xD4\xE8\xED\xE0\xEB\n",
       With(),
       "WINDOWS-1251",
       ';',
       {"2 3000 2 4 Финал"}},
      {"quoted delimiter, quotes and a line break; lines counted through it",
       "time,console,channel,comment\n1,1,1,\"a, b \"\"c\"\"\nnext line\"\n2,1,2,\"plain\"\n",
       With(),
       "UTF-8",
       ',',
       {"2 1000 1 1 a, b \"c\" next line", "4 2000 1 2 plain"}},
      {"milliseconds, a motion command, the unit in brackets",
       "Time (ms);Console;Channel\n1500;9;#LT#2.5#80\n2000;9;#c\n",
       With("", FrameRate::Unknown, TimeUnit::Milliseconds),
       "UTF-8",
       ';',
       {"2 1500 9 #LT#2.5#80 ", "3 2000 9 #C#100 "}},
      {"29.97 drop-frame timecode with an offset",
       "Time,Module,Pin\n01:00:00;00,1,1\n01:01:00:02,1,2\n01:10:00:00,1,3\n",
       With("", FrameRate::Fps2997Drop, TimeUnit::Seconds, "01:00:00:00"),
       "UTF-8",
       ',',
       {"2 0 1 1 ", "3 60060 1 2 ", "4 600000 1 3 "}},
      {"25 fps timecode and a # preamble",
       "# exported by a design program\n#fps 25\n\nTime,Module,Pin\n00:00:01:12,5,5\n",
       With("", FrameRate::Fps25),
       "UTF-8",
       ',',
       {"5 1480 5 5 "}},
      {"columns named by number and by name",
       "A,B,C,D\nx,2.5,6,7\n",
       With("time=2,console=C,channel=4,comment=1"),
       "UTF-8",
       ',',
       {"2 2500 6 7 x"}},
      {"every reason a row is refused",
       "time,console,channel\n"
       "soon,1,1\n"
       "00:00:01:00,1,1\n"
       ",1,1\n"
       "1,x,1\n"
       "1,200,1\n"
       "1,1,y\n"
       "1,1,513\n"
       "1,1,#Z\n"
       "1,1\n"
       "1,1,\"open\n",
       With(),
       "UTF-8",
       ',',
       {},
       {"2: the time \"soon\" is not a time",
        "3: the time \"00:00:01:00\" is a timecode: give its frame rate with --fps", "4: the time is empty",
        "5: the console \"x\" is not a whole number", "6: the console 200 is not 1 to 199",
        "7: the channel \"y\" is not a whole number", "8: the channel 513 is not 1 to 512",
        "9: the motion command \"#Z\" is not #C, #L, #R, #LT or #RT with whole-number levels",
        "10: the row has no channel field (it has 2)",
        "11: a quoted field is not closed: it runs to the end of the file"}},
      {"timecode reasons",
       "time,console,channel\n00:00:01:30,1,1\n00:01:00;01,1,1\n00:00:00;10,1,1\n",
       With("", FrameRate::Fps2997Drop, TimeUnit::Seconds, "00:00:01;00"),
       "UTF-8",
       ',',
       {},
       {"2: the timecode \"00:00:01:30\" counts more frames than a second has at 29.97 fps",
        "3: the timecode \"00:01:00;01\" does not exist in 29.97 drop frame",
        "4: the time \"00:00:00;10\" comes before --time-offset"}},
  };
  for (const Dialect& d : dialects) {
    SCOPED_TRACE(d.name);
    const ImportResult r = ImportScript(d.bytes, d.settings);
    ASSERT_TRUE(r.Readable) << r.Problem;
    EXPECT_EQ(r.Encoding, d.encoding);
    EXPECT_EQ(r.Delimiter, d.delimiter);
    std::vector<std::string> cues, bad;
    for (const auto& cue : r.Cues) cues.push_back(CueText(cue));
    for (const auto& row : r.BadRows) bad.push_back(std::to_string(row.Line) + ": " + row.Reason);
    EXPECT_EQ(cues, d.cues);
    EXPECT_EQ(bad, d.badRows);
    EXPECT_EQ(r.Replaced, d.replaced);
  }
}

TEST(ScriptDialects, TextThatIsNoScriptIsRefusedWithItsLine) {
  const struct {
    std::string bytes;
    int line;
    std::string problem;
  } cases[] = {
      {"# only a remark\n\n", 1, "the file has no header row"},
      {"# remark\nTime,Module,Effect\n1,1,x\n", 2,
       "the header has no channel column (it has \"Time\", \"Module\", \"Effect\"); name it with --columns "
       "channel=..."},
  };
  for (const auto& c : cases) {
    const ImportResult r = ImportScript(c.bytes, ImportSettings{});
    EXPECT_FALSE(r.Readable);
    EXPECT_EQ(r.ProblemLine, c.line);
    EXPECT_EQ(r.Problem, c.problem);
  }
}

}  // namespace
}  // namespace fd::import
