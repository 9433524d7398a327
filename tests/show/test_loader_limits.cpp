// The loader's limits, reasons and encoding hints: what the operator reads when a file is past the
// limits, is not a scenario line by line, or is not Windows-1251.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/virtual_platform.h"
#include "scenario_files.h"
#include "show/project_list.h"
#include "show/scenario_line.h"
#include "show/scenario_line_fault.h"

namespace fd::show {
namespace {

TEST(LoaderLimits, FilesAndLinesPastTheLimitsAreRefusedWithTheLineReached) {
  struct Case {
    std::string name;
    std::string bytes;
    uint64_t fileLimit, lineLimit;
    LoadStatus status;
    int line;
    std::string message;
  } cases[] = {
      {"file within the limits", "1 1 1\n2 1 2\n", 64, 16, LoadStatus::Loaded, 0, ""},
      {"file one byte past", std::string(64, '\n') + "1", 64, 16, LoadStatus::TooLarge, 1,
       "Файл сценария больше 0 МБ."},
      {"line past the line limit", "1 1 1\n1 1 1 " + std::string(20, 'x') + "\n", 1024, 16, LoadStatus::TooLarge, 2,
       "Строка сценария длиннее 0 МБ (строка: 2)."},
      {"last line without a break past the limit", "1 1 1\n" + std::string(17, '1'), 1024, 16, LoadStatus::TooLarge, 2,
       "Строка сценария длиннее 0 МБ (строка: 2)."},
      {"a bad line before the limit", "1 1 x\n" + std::string(40, '1'), 1024, 16, LoadStatus::LineError, 1,
       "Ошибка загрузки сценария (строка: 1)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::VirtualPlatform platform;
    testing::ScenarioFolder folder;
    TProjectList list(platform);
    list.SetReadLimits(c.fileLimit, c.lineLimit);
    const LoadResult r = list.LoadFromFile(folder.Write("show.txt", c.bytes));
    EXPECT_EQ(r.Status, c.status);
    if (c.status == LoadStatus::Loaded) {
      EXPECT_EQ(list.Count(), 2);
      continue;
    }
    EXPECT_EQ(r.Line, c.line);
    EXPECT_EQ(r.Message, c.message);
    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(platform.messages.size(), 1u) << "the window shows the refusal";
    EXPECT_EQ(platform.messages[0].text, c.message);
  }
}

TEST(LoaderLimits, WhatIsNoRegularFileIsRefusedWithoutWaitingForIt) {
  testing::ScenarioFolder folder;
  const std::string pipe = folder.Path("show.txt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {pipe, "it is a pipe, not a regular file"},  // nobody ever writes to it
      {"/dev/zero", "it is a device, not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    // Should the load wait for a writer after all, one turns up after three seconds and the
    // time check below fails instead of the test hanging.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    });
    platform::VirtualPlatform platform;
    TProjectList list(platform);
    const auto start = std::chrono::steady_clock::now();
    const LoadResult r = list.LoadFromFile(c.path);
    done = true;
    rescue.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.Status, LoadStatus::OpenFailed);
    EXPECT_EQ(r.Message, "File access denied");
    EXPECT_EQ(r.Reason, c.reason);
    EXPECT_EQ(LoadFailureRecord(r), "Ошибка загрузки сценария: File access denied (" + c.reason + ")");
    EXPECT_TRUE(platform.messages.empty()) << "the window reports open failures itself";
  }
}

TEST(LoaderLimits, CuesThatWouldNotFitInMemoryAreRefusedBeforeReading) {
  // What the owner keeps per cue is set beyond any memory, so that every file with a cue is too
  // much; the message counts the cue lines (CR LF lines of nothing are no cues).
  const struct {
    std::string bytes;
    std::string count;  // "": loads
  } cases[] = {
      {"1 1 1\n2 1 1\n", "2 команд"},
      {"1 1 1\r\n\r\n\n\r\n2 1 1", "2 команд"},
      {"\r\n\n\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    platform::VirtualPlatform platform;
    testing::ScenarioFolder folder;
    TProjectList list(platform);
    list.SetExtraMemoryPerCue(uint64_t{1} << 50);
    const LoadResult r = list.LoadFromFile(folder.Write("show.txt", c.bytes));
    if (c.count.empty()) {
      EXPECT_TRUE(r.Ok()) << r.Message;
      continue;
    }
    EXPECT_EQ(r.Status, LoadStatus::OutOfMemory);
    EXPECT_EQ(r.Line, 0);
    EXPECT_EQ(r.Message.rfind("Недостаточно памяти для загрузки сценария: " + c.count + " требуют около ", 0), 0u)
        << r.Message;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FileName(), "");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, r.Message);
  }
}

TEST(LoaderLimits, EveryRefusedLineHasAReasonAndEveryGoodLineNone) {
  struct Case {
    std::string line;
    std::string reason;  // empty: the line is a cue
  } cases[] = {
      {"1 1 1", ""},
      {"1:05 7 #LT#2.5#80", ""},
      {"1 7 #lt", ""},
      {"1 7 #C#50", ""},
      {"1 7 #R#-20#ignored", ""},
      {"1", "the console number is missing after the time \"1\""},
      {"1 x 1", "the console \"x\" is not a whole number"},
      {"1 99999999999 1", "the console \"99999999999\" is not a whole number"},
      {"1 1", "the channel (or #motion) is missing after the console"},
      {"1 1 one", "the channel \"one\" is not a whole number"},
      {"1 1 #", "unknown motion word \"\" (LT, RT, C, L or R)"},
      {"1 1 #UP#5", "unknown motion word \"UP\" (LT, RT, C, L or R)"},
      {"1 1 #C#", "the percentage \"\" is not a whole number that fits"},
      {"1 1 #L#5x", "the percentage \"5x\" is not a whole number that fits"},
      {"1 1 #RT#1#2147483647", "the percentage \"2147483647\" is not a whole number that fits"},
      {"1 1 " + std::string(100, '9'), "the channel \"" + std::string(40, '9') + "...\" is not a whole number"},
      {"1:7O 1 x", "the channel \"x\" is not a whole number; the time \"1:7O\" does not read as a time either"},
      {"3 12", "the channel (or #motion) is missing after the console"},
      {"x1 1 1", ""},  // an unreadable time alone never refuses a line
  };
  for (const Case& c : cases) {
    devices::CueRecord cue;
    EXPECT_EQ(ParseCueLine(c.line, cue), c.reason.empty()) << c.line;
    EXPECT_EQ(CueLineFault(c.line), c.reason) << c.line;
  }
}

TEST(LoaderLimits, TimesThatDoNotReadAsWrittenAreToldApart) {
  struct Case {
    std::string text;
    bool clean;
  } cases[] = {
      {"0", true},       {"90", true},    {"1:30", true},      {"0:01:30.5", true}, {"23:59:59.999", true},
      {"0:00:00", true}, {"1.", true},    {"1.2345", true},    {"", false},         {"x1", false},
      {"1:3O", false},   {"1:60", false}, {"24:00:00", false}, {"1:2:3:4", false},  {"1.x", false},
      {"+5", false},     {"-5", false},   {"1,5", false},      {"99999999", false}, {"1::2", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TimeReadsCleanly(c.text), c.clean) << c.text;
}

TEST(LoaderLimits, FilesThatLookLikeUtf8GetAHint) {
  struct Case {
    std::string bytes;
    bool loads;
    std::string hint;
  } cases[] = {
      {"1 1 1 \xD4\xE8\xED\xE0\xEB\n", true, ""},  // "Финал" in Windows-1251
      {"1 1 1 plain\n", true, ""},
      {"\xEF\xBB\xBF"
       "1 1 1\n",
       true, "scenario files are Windows-1251, but this one starts with a UTF-8 byte-order mark"},
      {"1 1 1 \xD0\xA4\xD0\xB8\xD0\xBD\n", true, "scenario files are Windows-1251, but this one reads as UTF-8 text"},
      {"\xEF\xBB\xBF"
       "1 1 x\n",
       false, "scenario files are Windows-1251, but this one starts with a UTF-8 byte-order mark"},
  };
  for (const Case& c : cases) {
    testing::ScenarioFolder folder;
    TProjectList list;
    const LoadResult r = list.LoadFromFile(folder.Write("show.txt", c.bytes));
    EXPECT_EQ(r.Ok(), c.loads) << c.bytes;
    EXPECT_EQ(r.EncodingHint, c.hint) << c.bytes;
  }
}

}  // namespace
}  // namespace fd::show
