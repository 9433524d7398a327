// The command-line tools fed what a careless or hostile user would feed them: endless and huge
// files, directories and devices, signals at every stage, inputs that expand, bad lines, text that
// would drive the terminal, and bad usage. Each class is one table; every case runs the built
// program under bash (with a memory limit where memory is the point) and checks the exit status,
// what the operator reads and that the program ended within seconds.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_process.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FIRNADESK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FIRNADESK_SANITIZED 1
#endif
#endif

namespace fd {
namespace {

using fd::testing::ToolProcess;

#ifdef FIRNADESK_SANITIZED
// Sanitizers reserve terabytes of address space and run several times slower.
constexpr bool kSanitized = true;
constexpr int kSlowdown = 6;
#else
constexpr bool kSanitized = false;
constexpr int kSlowdown = 1;
#endif

const std::string kCli = FIRNADESK_CLI;
const std::string kBench = FIRNADESK_BENCH_TOOL;

struct Case {
  Case(std::string name, std::string command, int exitCode, std::string stream, std::string text,
       std::string absent = "", int memoryMb = 0, int seconds = 5)
      : name(std::move(name)),
        command(std::move(command)),
        exitCode(exitCode),
        stream(std::move(stream)),
        text(std::move(text)),
        absent(std::move(absent)),
        memoryMb(memoryMb),
        seconds(seconds) {}

  std::string name;
  std::string command;  // bash; $CLI, $BENCH and $DIR are set
  int exitCode;         // -1: any
  std::string stream;   // "out" or "err": where the text must be
  std::string text;     // must appear
  std::string absent;   // must not appear (empty: nothing)
  int memoryMb;         // ulimit -v for the program, 0: none
  int seconds;          // the program must end within this
};

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "firnadesk-hostile-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  void RunTable(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      std::string limit;
      if (c.memoryMb > 0 && !kSanitized) limit = "ulimit -v " + std::to_string(c.memoryMb * 1024) + "; ";
      const std::string script = "CLI='" + kCli + "'; BENCH='" + kBench + "'; DIR='" + dir_ + "'; " + limit + c.command;
      const auto start = std::chrono::steady_clock::now();
      ToolProcess run({"/bin/bash", "-c", script});
      ASSERT_TRUE(run.Started());
      const int code = run.Wait(c.seconds * kSlowdown * 1000 + 5000);
      const auto ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      EXPECT_LE(ms, c.seconds * kSlowdown * 1000) << "took " << ms << " ms";
      if (c.exitCode >= 0) {
        EXPECT_EQ(code, c.exitCode) << run.Error();
      }
      const std::string& seen = c.stream == "out" ? run.Output() : run.Error();
      EXPECT_NE(seen.find(c.text), std::string::npos) << c.stream << ":\n" << seen.substr(0, 2000);
      if (!c.absent.empty()) {
        EXPECT_EQ(seen.find(c.absent), std::string::npos) << seen.substr(0, 2000);
      }
    }
  }

  std::string dir_;
};

TEST_F(HostileInput, EndlessAndHugeFilesAreRefusedAtTheLimit) {
  const std::string cue = "1 1 1 " + std::string(4000, 'x');
  std::vector<Case> cases = {
      {"scenario from /dev/zero", "\"$CLI\" check /dev/zero", 2, "err",
       "cannot read the file (File access denied: it is a device, not a regular file)", "", 200},
      {"scenario from an endless pipe of long cues", "yes '" + cue + "' | \"$CLI\" check /dev/stdin", 2, "err",
       "it is a pipe, not a regular file", "", 300},
      {"scenario that is a named pipe nobody writes to", "mkfifo \"$DIR/show.txt\" && \"$CLI\" check \"$DIR/show.txt\"", 2,
       "err", "it is a pipe, not a regular file"},
      {"sparse multi-GB scenario", "truncate -s 3G \"$DIR/big.txt\" && \"$CLI\" check \"$DIR/big.txt\"", 2, "err",
       "Файл сценария больше 256 МБ", "", 200},
      {"bench from /dev/zero", "\"$BENCH\" /dev/zero </dev/null", 2, "err", "larger than 16 MB", "", 200},
      {"bench of the cli from an endless pipe", "yes '# comment' | \"$CLI\" scan --simulate=/dev/stdin", 2, "err",
       "larger than 16 MB", "", 200},
      {"sparse multi-GB bench", "truncate -s 3G \"$DIR/big.bench\" && \"$CLI\" scan --simulate=\"$DIR/big.bench\"", 2,
       "err", "larger than 16 MB", "", 200},
  };
  if (!kSanitized)
    cases.push_back({"250 MB of cues beyond the memory are no bad line",
                     "yes '1 1 1' | head -c 250M > \"$DIR/big.txt\" && \"$CLI\" check \"$DIR/big.txt\"", 1, "err",
                     "Недостаточно памяти для загрузки сценария", "Ошибка загрузки сценария", 1024, 15});
  RunTable(cases);
}

TEST_F(HostileInput, DirectoriesAndDevicesAreNoInput) {
  Write("plain.txt", "not a terminal\n");
  Write("good.txt", "1 1 1\n");
  RunTable({
      {"directory as a scenario", "\"$CLI\" check \"$DIR\"", 2, "err",
       "cannot read the file (File access denied: it is a directory)"},
      {"directory as the cli's bench", "\"$CLI\" scan --simulate=\"$DIR\"", 2, "err", "cannot read the file"},
      {"directory as the bench tool's bench", "\"$BENCH\" \"$DIR\" </dev/null", 2, "err", "cannot read the file"},
      {"/dev/null as a port", "\"$CLI\" scan --port /dev/null", 2, "err", "/dev/null: not a serial device"},
      {"a regular file as a port", "\"$CLI\" scan --port=\"$DIR/plain.txt\"", 2, "err", "not a serial device"},
      {"a directory as a port", "\"$CLI\" check \"$DIR/good.txt\" --port \"$DIR\"", 2, "err", "not a serial device"},
  });
}

TEST_F(HostileInput, InterruptsEndEveryStage) {
  // timeout sends SIGINT (or SIGTERM) after half a second and SIGKILL three seconds later: 137
  // would mean the signal was not enough. Input that never ends comes from a sleeping process.
  const std::string never = " < <(exec sleep 8 2>/dev/null)";
  RunTable({
      {"bench tool reading its bench from a pipe",
       "timeout -k 3 -s INT 0.5 \"$BENCH\" /dev/stdin" + never + "; echo $?", 0, "out", "124", "137", 0, 3},
      {"bench tool serving", "timeout -k 3 -s INT 0.5 \"$BENCH\"" + never + "; echo $?", 0, "out", "fire log:", "137",
       0, 3},
      {"bench tool terminated while serving", "timeout -k 3 -s TERM 0.5 \"$BENCH\"" + never + "; echo $?", 0, "out",
       "124", "137", 0, 3},
      {"scan reading its bench from a pipe",
       "timeout -k 3 -s TERM 0.5 \"$CLI\" scan --simulate=/dev/stdin" + never + "; echo $?", 0, "out", "124", "137", 0,
       3},
  });
}

TEST_F(HostileInput, ExpansionStaysProportionalToTheInput) {
  std::string ranges = "1-511";
  while (ranges.size() < 1'200'000) ranges += ",1-511";
  Write("ranges.bench", "console 1 channels 511 open " + ranges + "\n");
  Write("backwards.bench", "console 1 channels 511 open " + ranges + ",9-3\n");
  RunTable({
      {"many channel ranges", "\"$CLI\" scan --simulate=\"$DIR/ranges.bench\"", 0, "out", "Devices: 1", "", 150, 5},
      {"a bad range at the end of many", "\"$CLI\" scan --simulate=\"$DIR/backwards.bench\"", 2, "err",
       "channel range \"9-3\" runs backwards", "", 150, 5},
      {"a command line that never ends", "head -c 64M /dev/zero | \"$BENCH\"", 0, "err",
       "a command line longer than 4096 bytes was skipped", "", 150, 10},
      {"commands after a huge line still run", "{ head -c 8M /dev/zero; printf '\\nhelp\\n'; } | \"$BENCH\"", 0, "out",
       "commands: unplug", "", 150, 10},
  });
}

TEST_F(HostileInput, BadScenarioLinesSayWhatAndWhere) {
  struct Line {
    std::string bytes;
    std::string reason;
  } lines[] = {
      {"1 1 1\n2\n", "(строка: 2). Line 2: the console number is missing"},
      {"1 x 1\n", "(строка: 1). Line 1: the console \"x\" is not a whole number"},
      {"\n\n1 1\n", "(строка: 3). Line 3: the channel (or #motion) is missing"},
      {"1 1 1x\n", "Line 1: the channel \"1x\" is not a whole number"},
      {"1 1 #XY\n", "Line 1: unknown motion word \"XY\" (LT, RT, C, L or R)"},
      {"1 1 #C#half\n", "Line 1: the percentage \"half\" is not a whole number"},
      {"1 1 #LT#2#\n", "Line 1: the percentage \"\" is not a whole number"},
      {"\xEF\xBB\xBF"
       "1 1 x\n",
       "UTF-8 byte-order mark"},
  };
  std::vector<Case> cases;
  for (size_t i = 0; i < std::size(lines); ++i) {
    const std::string file = Write("bad" + std::to_string(i) + ".txt", lines[i].bytes);
    cases.push_back({"bad line " + std::to_string(i), "\"$CLI\" check '" + file + "'", 1, "err", lines[i].reason});
  }
  const std::string bom = Write("bom.txt",
                                "\xEF\xBB\xBF"
                                "1 1 1\n");
  const std::string utf8 = Write("utf8.txt", "1 1 1 \xD0\xA4\xD0\xB8\xD0\xBD\xD0\xB0\xD0\xBB\n");
  const std::string cp1251 = Write("cp1251.txt", "1 1 1 \xD4\xE8\xED\xE0\xEB\n");
  const std::string oddTime = Write("time.txt", "1:3O 1 1\n2 1 2\n");
  cases.push_back({"a time that does not read as written", "\"$CLI\" check '" + oddTime + "'", 0, "out",
                   "[time-unreadable] 1 cue(s): time that does not read as s, m:s or h:m:s[.fff]: the cue plays at the "
                   "time shown\n    line 1: 1:3O (0:00:00.000) console 1 channel 1"});
  cases.push_back({"a byte-order mark", "\"$CLI\" check '" + bom + "'", 0, "err", "scenario files are Windows-1251"});
  cases.push_back({"UTF-8 text", "\"$CLI\" check '" + utf8 + "'", 0, "err", "reads as UTF-8 text"});
  cases.push_back({"UTF-8 text in JSON", "\"$CLI\" check --json '" + utf8 + "'", 0, "out",
                   "\"encoding_hint\": \"scenario files are Windows-1251, but this one reads as UTF-8 text\""});
  cases.push_back(
      {"Windows-1251 needs no hint", "\"$CLI\" check '" + cp1251 + "' 2>&1", 0, "out", "Cues: 1", "Windows-1251"});
  RunTable(cases);
}

TEST_F(HostileInput, OutputIsSafeStreamedAndChecked) {
  const std::string escape = Write("escape.bench", "\x1b]0;owned\x07\x1b[31mconsole 1\n");
  const std::string longToken = Write("long.bench", "console 1 letter " + std::string(100000, 'A') + "\n");
  const std::string timeEscape = Write("time.txt", "1\x1b[2J 1 1\n1\x1b[2J 1 1\n");
  std::string many;
  for (int i = 0; i < 500000; ++i) many += "1 1 1\n";
  const std::string manyCues = Write("many.txt", many);
  RunTable({
      {"escape sequences in a bench token", "\"$CLI\" scan --simulate='" + escape + "'", 2, "err", "\\x1B]0;owned\\x07",
       "\x1b"},
      {"escape sequences in scenario times", "\"$CLI\" check '" + timeEscape + "'", 0, "out", "1\\x1B[2J (", "\x1b"},
      {"half a million cues as JSON", "\"$CLI\" check --json '" + manyCues + "' | tail -c 200", 0, "out",
       "\"index\": 499999", "", 250, 15},
      {"a full disk", "\"$CLI\" check '" + manyCues + "' > /dev/full", 1, "err", "cannot write the output"},
      {"a full disk for JSON", "\"$CLI\" check --json '" + manyCues + "' > /dev/full", 1, "err",
       "cannot write the output"},
      {"the bench tool on a full disk", "\"$BENCH\" </dev/null >/dev/full", 1, "err", "cannot write the output"},
  });
  // The huge token is cut: the whole message stays short.
  ToolProcess run({kCli, "scan", "--simulate=" + longToken});
  EXPECT_EQ(run.Wait(5000 * kSlowdown), 2);
  EXPECT_LT(run.Error().size(), 1200u);
  EXPECT_NE(run.Error().find("letter must be one character or \"none\", not \"AAAA"), std::string::npos);
}

TEST_F(HostileInput, ALongPathIsShortenedAndTheReasonStays) {
  // One name of 5000 characters (past the system's 255) ending in an escape sequence.
  const std::string path = "\"$DIR/$(printf '%05000d' 0)\"$'\\e[2J'";
  RunTable({
      {"a scenario", "\"$CLI\" check " + path, 2, "err",
       "0\\x1B[2J: cannot read the file (I/O error 36: name too long)", "\x1b"},
      {"a bench", "\"$CLI\" scan --simulate=" + path, 2, "err", "0\\x1B[2J: cannot read the file (name too long)",
       "\x1b"},
      {"a port", "\"$CLI\" scan --port " + path, 2, "err", "0\\x1B[2J: name too long", "\x1b"},
  });
}

TEST_F(HostileInput, OneConventionForExitCodesAndMessages) {
  const std::string good = Write("good.txt", "1 1 1\n");
  RunTable({
      {"an option where the port should be", "\"$CLI\" scan --port --simulate", 2, "err",
       "--port needs a device path, not the option \"--simulate\""},
      {"a missing port", "\"$CLI\" check '" + good + "' --port", 2, "err", "--port needs a device path"},
      {"a missing scenario", "\"$CLI\" verify --simulate", 2, "err", "name the scenario file"},
      {"two scenarios", "\"$CLI\" write --simulate a b", 2, "err", "one scenario file at a time"},
      {"an unknown option", "\"$CLI\" check --frobnicate '" + good + "'", 2, "err", "unknown option \"--frobnicate\""},
      {"a scenario that cannot be read", "\"$CLI\" check \"$DIR/missing.txt\"", 2, "err", "File not found"},
      {"a scenario fault", "\"$CLI\" check '" + Write("bad.txt", "1 1 x\n") + "'", 1, "err",
       "Ошибка загрузки сценария (строка: 1)."},
      {"write without a bus", "\"$CLI\" write '" + good + "'", 2, "err", "name the bus"},
      {"help", "\"$CLI\" scan --help", 0, "out", "--passes"},
      // Only where no USB serial converter is plugged in (a test machine); elsewhere the case is moot.
      {"no converter",
       "ls /sys/bus/usb-serial/devices 2>/dev/null | grep -q . && { echo 'no FTDI converter found' >&2; exit 3; }; "
       "\"$CLI\" scan",
       3, "err", "no FTDI converter found"},
      {"the bench tool's unknown option", "\"$BENCH\" --frobnicate", 2, "err", "unknown option --frobnicate"},
      {"the bench tool's option where the link should be", "\"$BENCH\" --link --help", 2, "err",
       "--link needs a path, not the option \"--help\""},
      {"a bad bench line", "\"$BENCH\" '" + Write("bad.bench", "console 1 letter XY\n") + "'", 2, "err",
       "bad.bench:1: letter must be one character"},
  });
}

}  // namespace
}  // namespace fd
