#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "locale_env.h"
#include "support/cp1251.h"
#include "support/date_text.h"
#include "support/run_log.h"
#include "temp_dir.h"

namespace fd::support {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// The shape of a stamp in the locale the tests run in (the C locale, see RunLogTest): every digit
// a 0, then ": ".
std::string StampShape() {
  std::string shape = DateTimeText(1796600467) + ": ";
  for (char& c : shape)
    if (c >= '0' && c <= '9') c = '0';
  return shape;
}

// Does the text start with a stamp of that shape?
bool HasStamp(const std::string& line) {
  static const std::string kShape = StampShape();
  if (line.size() < kShape.size()) return false;
  for (size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (kShape[i] == '0' ? !digit : line[i] != kShape[i]) return false;
  }
  return true;
}

// A line's text after its "<date> <time>: " stamp; fails the test when the stamp is malformed.
std::string Unstamped(const std::string& line) {
  EXPECT_TRUE(HasStamp(line)) << line;
  if (!HasStamp(line)) return line;
  return line.substr(StampShape().size());
}

// The texts of the lines of a log file, stamps removed; every line must end with CR LF.
std::vector<std::string> LogTexts(const std::string& bytes) {
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "unterminated line at " << start;
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    texts.push_back(Unstamped(line));
    start = end + 2;
  }
  return texts;
}

using Texts = std::vector<std::string>;

class RunLogTest : public ::testing::Test {
 protected:
  // The stamps follow the user's locale; the C locale, which every system has, keeps them all
  // digits and of one length. The locales themselves are tested with the date texts.
  testing::LocaleEnv locale_{"C"};

  void SetUp() override {
    ResetRunLog();
    SetDebugOutput([this](const std::string& text) {
      std::lock_guard guard(debugLock_);
      debug_.push_back(text);
    });
    log_ = dir_ / "run.log";
    SetLogFileName(log_);
  }
  void TearDown() override { ResetRunLog(); }

  Texts Debug() {
    std::lock_guard guard(debugLock_);
    return debug_;
  }
  Texts FileTexts() { return LogTexts(ReadBytes(log_)); }

  TempDir dir_;
  std::string log_;
  std::mutex debugLock_;
  Texts debug_;
};

TEST_F(RunLogTest, LevelOutsideOneToLogLevelDoesNothingAtAll) {
  WriteLog("zero", 0);
  WriteLog("four", 4);
  LogLevel = 0;
  WriteLog("one", 1);
  EXPECT_TRUE(Debug().empty());
  EXPECT_FALSE(std::filesystem::exists(log_));
  EXPECT_FALSE(LogFailed());

  LogLevel = 1;
  WriteLog("one", 1);
  WriteLog("two", 2);
  LogLevel = 255;
  WriteLog("top", 255);
  EXPECT_EQ(Debug(), (Texts{"one", "top"}));
  EXPECT_EQ(FileTexts(), (Texts{"one", "top"}));
}

TEST_F(RunLogTest, LinesAreStampedWindows1251WithCrLf) {
  const std::time_t before = std::time(nullptr);
  WriteLog("Запуск ПО управления, версия: 2.0.0.1", 1);
  const std::time_t after = std::time(nullptr);
  const std::string bytes = ReadBytes(log_);

  const std::string tail = ": " + Utf8ToCp1251("Запуск ПО управления, версия: 2.0.0.1") + "\r\n";
  const size_t stampSize = StampShape().size() - 2;
  ASSERT_EQ(bytes.size(), stampSize + tail.size());
  EXPECT_EQ(bytes.substr(stampSize), tail);
  const std::string stamp = bytes.substr(0, stampSize);
  bool nowStamp = false;
  for (std::time_t t = before; t <= after; ++t) nowStamp = nowStamp || stamp == DateTimeText(t);
  EXPECT_TRUE(nowStamp) << stamp;

  // The debug output gets the text itself, still UTF-8.
  EXPECT_EQ(Debug(), (Texts{"Запуск ПО управления, версия: 2.0.0.1"}));
}

TEST_F(RunLogTest, CharactersWithoutAWindows1251ByteAreQuestionMarks) {
  WriteLog("канал 日", 1);
  EXPECT_EQ(FileTexts(), (Texts{Utf8ToCp1251("канал ") + "?"}));
}

TEST_F(RunLogTest, SameTextAgainReplacesItsLineWithARepeatCount) {
  WriteLog("Связь потеряна", 1);
  WriteLog("Связь потеряна", 1);
  WriteLog("Связь потеряна", 1);
  const std::string text = Utf8ToCp1251("Связь потеряна");
  EXPECT_EQ(FileTexts(), (Texts{text + " ( X 3 )"}));
  EXPECT_EQ(Debug().size(), 3u);  // every call reaches the debug output

  WriteLog("B", 1);
  WriteLog("B", 1);
  WriteLog("C", 1);
  EXPECT_EQ(FileTexts(), (Texts{text + " ( X 3 )", "B ( X 2 )", "C"}));
}

TEST_F(RunLogTest, DifferentTextsInBetweenNeverCollapse) {
  for (const char* text : {"A", "B", "A", "B", "A"}) WriteLog(text, 1);
  EXPECT_EQ(FileTexts(), (Texts{"A", "B", "A", "B", "A"}));
  WriteLog("a", 1);  // case counts
  EXPECT_EQ(FileTexts(), (Texts{"A", "B", "A", "B", "A", "a"}));
}

TEST_F(RunLogTest, EmptyTextIsALineOnceAndThenNothing) {
  WriteLog("A", 1);
  WriteLog("", 1);
  WriteLog("", 1);
  EXPECT_EQ(FileTexts(), (Texts{"A", ""}));
  WriteLog("A", 1);
  EXPECT_EQ(FileTexts(), (Texts{"A", "", "A"}));
  EXPECT_EQ(Debug(), (Texts{"A", "", "", "A"}));
}

TEST_F(RunLogTest, EmptyFirstTextWritesNothing) {
  WriteLog("", 1);
  EXPECT_EQ(ReadBytes(log_), "");
  EXPECT_FALSE(LogFailed());
  WriteLog("x", 1);
  EXPECT_EQ(FileTexts(), (Texts{"x"}));
}

TEST_F(RunLogTest, AppendsToAnExistingFileAndNeverMergesWithItsLastLine) {
  const std::string earlier = DateTimeText(1767261600) + ": A\r\n";  // left by an earlier run
  WriteBytes(log_, earlier);
  WriteLog("A", 1);
  const std::string bytes = ReadBytes(log_);
  EXPECT_EQ(bytes.substr(0, earlier.size()), earlier);
  EXPECT_EQ(LogTexts(bytes), (Texts{"A", "A"}));
  WriteLog("A", 1);
  EXPECT_EQ(ReadBytes(log_).substr(0, earlier.size()), earlier);
  EXPECT_EQ(FileTexts(), (Texts{"A", "A ( X 2 )"}));
}

// A sparse file of the given size: no disk space, but the log sees it as that large.
bool MakeSparse(const std::string& path, off_t size) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const bool ok = ::ftruncate(fd, size) == 0;
  ::close(fd);
  return ok;
}

std::string Tail(const std::string& path, off_t from) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::string bytes(4096, '\0');
  const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), from);
  ::close(fd);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

TEST_F(RunLogTest, AboveTwoGibibytesARepeatIsAppended) {
  const off_t big = (off_t{2} << 30) + 10;
  if (!MakeSparse(log_, big)) GTEST_SKIP() << "the file system takes no 2 GiB sparse file";
  WriteLog("A", 1);
  WriteLog("A", 1);
  WriteLog("A", 1);
  EXPECT_EQ(LogTexts(Tail(log_, big)), (Texts{"A", "A ( X 2 )", "A ( X 3 )"}));
  EXPECT_FALSE(LogFailed());
}

TEST_F(RunLogTest, AboveFourGibibytesOldLinesAreNeverCutAway) {
  // Four GiB and a little: the low 32 bits of the size are small and positive again.
  const off_t big = (off_t{4} << 30) + 10;
  if (!MakeSparse(log_, big)) GTEST_SKIP() << "the file system takes no 4 GiB sparse file";
  WriteLog("A", 1);
  WriteLog("A", 1);
  EXPECT_GT(std::filesystem::file_size(log_), static_cast<uintmax_t>(big));
  EXPECT_EQ(LogTexts(Tail(log_, big)), (Texts{"A", "A ( X 2 )"}));
}

TEST_F(RunLogTest, BelowTwoGibibytesTheRepeatStillReplaces) {
  const off_t big = (off_t{2} << 30) - 4096;
  if (!MakeSparse(log_, big)) GTEST_SKIP() << "the file system takes no 2 GiB sparse file";
  WriteLog("A", 1);
  WriteLog("A", 1);
  EXPECT_EQ(LogTexts(Tail(log_, big)), (Texts{"A ( X 2 )"}));
}

TEST_F(RunLogTest, LinesAddedByOthersBetweenRepeatsAreKept) {
  WriteLog("A", 1);
  WriteBytes(log_, "someone else\r\n", true);
  WriteLog("A", 1);
  WriteLog("A", 1);
  const std::string bytes = ReadBytes(log_);
  const size_t foreign = bytes.find("someone else\r\n");
  ASSERT_NE(foreign, std::string::npos);
  EXPECT_EQ(LogTexts(bytes.substr(0, foreign)), (Texts{"A"}));
  EXPECT_EQ(LogTexts(bytes.substr(foreign + 14)), (Texts{"A ( X 3 )"}));
}

TEST_F(RunLogTest, ARepeatNeverCutsAFileItDidNotWriteLast) {
  WriteLog("A", 1);
  const std::string first = ReadBytes(log_);

  const std::string other = dir_ / "other.log";
  const std::string earlier = "line one of another log\r\nline two\r\n";
  WriteBytes(other, earlier);
  SetLogFileName(other);
  WriteLog("A", 1);
  EXPECT_EQ(ReadBytes(log_), first);
  const std::string bytes = ReadBytes(other);
  EXPECT_EQ(bytes.substr(0, earlier.size()), earlier);
  EXPECT_EQ(LogTexts(bytes.substr(earlier.size())), (Texts{"A ( X 2 )"}));
}

TEST_F(RunLogTest, ARepeatAfterTheFileWasRemovedStartsItCleanly) {
  WriteLog("B", 1);
  WriteLog("A", 1);
  ASSERT_EQ(::unlink(log_.c_str()), 0);
  WriteLog("A", 1);
  const std::string bytes = ReadBytes(log_);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
  EXPECT_EQ(LogTexts(bytes), (Texts{"A ( X 2 )"}));
}

TEST_F(RunLogTest, MissingFolderTurnsTheFileOffButNotTheDebugOutput) {
  const std::string folder = dir_ / "logs";
  SetLogFileName(folder + "/today_0.log");
  WriteLog("first", 1);
  EXPECT_TRUE(LogFailed());
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  WriteLog("second", 1);
  WriteLog("third", 1);
  EXPECT_EQ(Debug(), (Texts{"first", "second", "third"}));
  EXPECT_FALSE(std::filesystem::exists(folder + "/today_0.log"));
  EXPECT_TRUE(LogFailed());
}

TEST_F(RunLogTest, AFileHeldByAnotherWriterFailsTheLog) {
  WriteLog("before", 1);
  const int other = ::open(log_.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  WriteLog("during", 1);
  ::close(other);
  WriteLog("after", 1);
  EXPECT_TRUE(LogFailed());
  EXPECT_EQ(FileTexts(), (Texts{"before"}));
  EXPECT_EQ(Debug(), (Texts{"before", "during", "after"}));
}

TEST_F(RunLogTest, AFolderInPlaceOfTheFileFailsTheLog) {
  ASSERT_TRUE(std::filesystem::create_directory(log_));
  WriteLog("x", 1);
  EXPECT_TRUE(LogFailed());
}

TEST_F(RunLogTest, ADebugOutputThatThrowsHarmsNothing) {
  SetDebugOutput([](const std::string&) { throw std::runtime_error("broken sink"); });
  EXPECT_NO_THROW(WriteLog("still logged", 1));
  EXPECT_EQ(FileTexts(), (Texts{"still logged"}));
  SetDebugOutput(nullptr);  // off
  EXPECT_NO_THROW(WriteLog("again", 1));
  EXPECT_EQ(FileTexts(), (Texts{"still logged", "again"}));
  EXPECT_FALSE(LogFailed());
}

TEST_F(RunLogTest, WritersOnSeveralThreadsGetWholeLines) {
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) WriteLog("поток " + std::to_string(t) + " № " + std::to_string(i), 1);
    });
  }
  for (auto& thread : threads) thread.join();
  const Texts texts = FileTexts();
  ASSERT_EQ(texts.size(), static_cast<size_t>(kThreads * kEach));
  const std::set<std::string> distinct(texts.begin(), texts.end());
  EXPECT_EQ(distinct.size(), texts.size());
  EXPECT_EQ(distinct.count(Utf8ToCp1251("поток 3 № 49")), 1u);
  EXPECT_EQ(Debug().size(), texts.size());
}

TEST_F(RunLogTest, ResetGivesAFreshProcessState) {
  WriteLog("A", 1);
  LogLevel = 7;
  SetLogFileName(dir_ / "missing/x.log");
  WriteLog("B", 1);
  ASSERT_TRUE(LogFailed());

  ResetRunLog();
  EXPECT_EQ(LogLevel.load(), 3);
  EXPECT_EQ(LogFileName(), "");
  EXPECT_FALSE(LogFailed());
  SetDebugOutput(nullptr);
  SetLogFileName(log_);
  WriteLog("A", 1);  // the last message was forgotten: no merge with the line before
  EXPECT_EQ(FileTexts(), (Texts{"A", "A"}));
}

TEST(RunLogDefaultFile, ProgramFileNameWithLogExtension) {
  const std::string program = ProgramFileName();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(DefaultLogFileName(), program + ".log");  // "test_support" has no extension

  ResetRunLog();
  SetDebugOutput(nullptr);
  const std::string path = DefaultLogFileName();
  std::filesystem::remove(path);
  EXPECT_EQ(LogFileName(), "");
  WriteLog("default", 1);
  const std::string bytes = ReadBytes(path);
  std::filesystem::remove(path);
  ResetRunLog();
  EXPECT_EQ(LogTexts(bytes), (Texts{"default"}));
}

TEST(ProgramFiles, FolderEndsWithASeparatorAndHoldsTheProgram) {
  const std::string folder = ProgramFolder();
  const std::string program = ProgramFileName();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(program, folder + "test_support");
  EXPECT_TRUE(std::filesystem::is_regular_file(program));
}

}  // namespace
}  // namespace fd::support
