// The journal file under a failing disk: the show goes on, the failure is told once with where the
// file stops, and nothing after it is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "journal/show_journal.h"
#include "support/temp_dir.h"

namespace fd::journal {
namespace {

struct DiskCase {
  const char* name;
  int failOnWrite;  // the write call (from 1) that fails, and every one after it; 0 none
  bool partial;     // that call writes half of its line first
  bool syncFails;   // every fdatasync fails
  int wholeLines;   // lines in the file at the end; -1 when it depends on the syncing thread's pace
  friend void PrintTo(const DiskCase& c, std::ostream* os) { *os << c.name; }
};

class JournalDisk : public ::testing::TestWithParam<DiskCase> {};

TEST_P(JournalDisk, AFailingDiskEndsTheJournalWhereItStopsAndTellsOnce) {
  const DiskCase& c = GetParam();
  support::testing::TempDir dir;
  int writes = 0;
  JournalWriter::Seams seams;
  seams.Write = [&](int fd, const void* data, size_t size) -> ssize_t {
    ++writes;
    if (c.failOnWrite == 0 || writes < c.failOnWrite) return ::write(fd, data, size);
    if (c.partial && writes == c.failOnWrite) return ::write(fd, data, size / 2);
    errno = ENOSPC;
    return -1;
  };
  seams.Sync = [&](int) {
    errno = EIO;
    return c.syncFails ? -1 : 0;
  };
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
    // A stop asks for a sync and waits for nothing.
    if (i == 1) journal.Stopped(StopSource::Operator, 150);
  }
  journal.Close(400);

  // Header, four cues, a stop and the closing event: seven lines when nothing fails.
  const std::string bytes = support::testing::ReadBytes(journal.Path());
  const bool fails = c.failOnWrite != 0 || c.syncFails;
  if (c.wholeLines >= 0) {
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), c.wholeLines) << bytes;
  }
  ASSERT_EQ(told.size(), fails ? 1u : 0u);
  EXPECT_EQ(journal.Failed(), fails);
  if (!fails) return;
  EXPECT_EQ(told[0].rfind(journal.Path() + ": ", 0), 0u) << told[0];
  // Where it stops: after the whole lines written before the failure; a torn half line may follow.
  ASSERT_LE(stoppedAt, bytes.size());
  EXPECT_TRUE(stoppedAt == 0 || bytes[stoppedAt - 1] == '\n');
  if (c.wholeLines >= 0) {
    EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + static_cast<long>(stoppedAt), '\n'), c.wholeLines);
  }
  EXPECT_EQ(bytes.size() > stoppedAt, c.partial);
}

INSTANTIATE_TEST_SUITE_P(Disk, JournalDisk,
                         ::testing::Values(DiskCase{"healthy", 0, false, false, 7},
                                           DiskCase{"full at the stop", 4, false, false, 3},
                                           DiskCase{"full in the middle of a line", 4, true, false, 3},
                                           DiskCase{"full from the header on", 1, false, false, 0},
                                           DiskCase{"sync fails", 0, false, true, -1}));

}  // namespace
}  // namespace fd::journal
