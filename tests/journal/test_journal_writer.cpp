// The journal file under a failing disk: the show goes on, the failure is told once with where the
// file stops, and nothing after it is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "journal/show_journal.h"
#include "support/temp_dir.h"

namespace fd::journal {
namespace {

using support::testing::TempDir;

struct DiskCase {
  const char* name;
  int failOnWrite;   // the write call (from 1) that fails; 0 none
  bool partial;      // that call writes half of its line first, the rest fails
  int wholeLines;    // lines in the file at the end
  bool toldOnce;
  friend void PrintTo(const DiskCase& c, std::ostream* os) { *os << c.name; }
};

class JournalDisk : public ::testing::TestWithParam<DiskCase> {};

TEST_P(JournalDisk, AFailingDiskEndsTheJournalWhereItStopsAndTellsOnce) {
  const DiskCase& c = GetParam();
  TempDir dir;
  int writes = 0;
  bool halfDone = false;
  JournalWriter::Seams seams;
  seams.Write = [&](int fd, const void* data, size_t size) -> ssize_t {
    ++writes;
    if (c.failOnWrite != 0 && writes >= c.failOnWrite) {
      if (c.partial && !halfDone) {
        halfDone = true;
        return ::write(fd, data, size / 2);
      }
      errno = ENOSPC;
      return -1;
    }
    return ::write(fd, data, size);
  };
  seams.Sync = [](int) { return 0; };
  ShowJournal journal(seams);
  std::vector<std::string> told;
  uint64_t stoppedAt = 0;
  journal.OnFailure = [&](const std::string& path, uint64_t bytes, const std::string& reason) {
    told.push_back(path + ": " + reason);
    stoppedAt = bytes;
  };
  JournalHeader header;
  header.scenarioPath = "show.txt";
  ASSERT_TRUE(journal.Open(dir.Path(), 0, header));
  for (int i = 0; i < 4; ++i) {
    journal.CueSent({i + 1, 3, i + 1, -1, i * 100, i * 100 + 2, false});
    // A stop asks for a sync and waits for nothing; the next appends hear of a sync that failed.
    if (i == 1) journal.Stopped(StopSource::Operator, 150);
  }
  journal.Close(400);

  const std::string bytes = support::testing::ReadBytes(journal.Path());
  int lines = 0;
  for (char ch : bytes) lines += ch == '\n' ? 1 : 0;
  EXPECT_EQ(lines, c.wholeLines) << bytes;
  EXPECT_EQ(told.size(), c.toldOnce ? 1u : 0u);
  if (c.toldOnce) {
    EXPECT_TRUE(journal.Failed());
    EXPECT_EQ(told[0].rfind(journal.Path() + ": ", 0), 0u) << told[0];
    // Where it stops: the whole lines before the failure (a torn half line may follow them).
    EXPECT_EQ(bytes.size() > stoppedAt, c.partial);
    EXPECT_EQ(static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<long>(stoppedAt), '\n')),
              c.wholeLines);
  } else {
    EXPECT_EQ(bytes.substr(bytes.rfind('{')).rfind("{\"event\":\"close\"", 0), 0u);
  }
}

// Header, four cues, a stop and the closing event: seven lines when nothing fails.
INSTANTIATE_TEST_SUITE_P(Disk, JournalDisk,
                         ::testing::Values(DiskCase{"healthy", 0, false, 7, false},
                                           DiskCase{"full at the stop", 4, false, 3, true},
                                           DiskCase{"full in the middle of a line", 4, true, 3, true},
                                           DiskCase{"full from the header on", 1, false, 0, true}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(JournalDiskSync, AFailedSyncIsToldOnceAndEndsTheJournal) {
  TempDir dir;
  JournalWriter::Seams seams = JournalWriter::SystemCalls();
  seams.Sync = [](int) {
    errno = EIO;
    return -1;
  };
  ShowJournal journal(seams);
  int told = 0;
  journal.OnFailure = [&](const std::string&, uint64_t, const std::string&) { ++told; };
  JournalHeader header;
  header.scenarioPath = "show.txt";
  ASSERT_TRUE(journal.Open(dir.Path(), 0, header));
  journal.Stopped(StopSource::EndOfScenario, 1000);
  journal.Close(1000);  // the last sync fails too; the failure is told when the file closes
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(journal.Failed());
}

}  // namespace
}  // namespace fd::journal
