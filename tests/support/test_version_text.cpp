#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/run_log.h"
#include "support/version_text.h"
#include "temp_dir.h"

namespace fd::support {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::string kExpected = FIRNADESK_EXPECTED_VERSION;

std::string Record(const std::string& version) { return VersionRecordMarker() + version + std::string(1, '\0'); }

TEST(ProgramVersion, ThisTestProgramCarriesTheProjectVersion) {
  EXPECT_EQ(FileVersionText(ProgramFileName()), kExpected);
  EXPECT_EQ(ProgramVersionText(), kExpected);
  EXPECT_EQ(ProgramMajorVersion(), FIRNADESK_EXPECTED_MAJOR);
}

TEST(ProgramVersion, EveryMarkerInTheProgramFileOpensTheRealRecord) {
  // Were the reader's own copy of the marker stored plainly, it would show up here without the
  // version behind it (and could be found first).
  const std::string file = ReadBytes(ProgramFileName());
  const std::string marker = VersionRecordMarker();
  ASSERT_FALSE(file.empty());
  int records = 0;
  for (size_t pos = file.find(marker); pos != std::string::npos; pos = file.find(marker, pos + 1)) {
    ++records;
    EXPECT_EQ(file.substr(pos, marker.size() + kExpected.size() + 1), Record(kExpected)) << "at " << pos;
  }
  EXPECT_GE(records, 1);
}

TEST(FileVersionText, FilesWithoutARecordGiveZeros) {
  TempDir dir;
  WriteBytes(dir / "notes.txt", "no version here\n2.0.0.1\n");
  WriteBytes(dir / "empty", "");
  EXPECT_EQ(FileVersionText(dir / "notes.txt"), "0.0.0.0");
  EXPECT_EQ(FileVersionText(dir / "empty"), "0.0.0.0");
  EXPECT_EQ(FileVersionText(dir / "missing"), "0.0.0.0");
  EXPECT_EQ(FileVersionText(dir.Path()), "0.0.0.0");
  EXPECT_EQ(FileVersionText(""), "0.0.0.0");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(FileVersionText(dir / "fifo"), "0.0.0.0");  // returns instead of waiting for a writer
}

TEST(FileVersionText, FindsARecordAnywhereInAFile) {
  TempDir dir;
  WriteBytes(dir / "a", std::string(1000, 'x') + Record("7.1.2.3") + "tail");
  EXPECT_EQ(FileVersionText(dir / "a"), "7.1.2.3");
  WriteBytes(dir / "b", Record("1.0.0.0"));
  EXPECT_EQ(FileVersionText(dir / "b"), "1.0.0.0");
  WriteBytes(dir / "c", "head" + VersionRecordMarker() + "3.4");  // ends with the file, no NUL
  EXPECT_EQ(FileVersionText(dir / "c"), "3.4");
}

TEST(FileVersionText, FirstRealRecordWinsAndABareMarkerIsSkipped) {
  TempDir dir;
  WriteBytes(dir / "f", VersionRecordMarker() + std::string(1, '\0') + "junk" + Record("5.6.7.8") + Record("9.9.9.9"));
  EXPECT_EQ(FileVersionText(dir / "f"), "5.6.7.8");
  WriteBytes(dir / "g", VersionRecordMarker() + "\x01\x02" + Record("4.0.0.2"));
  EXPECT_EQ(FileVersionText(dir / "g"), "4.0.0.2");
}

TEST(FileVersionText, RecordsAcrossTheBorderOfTwoReadsAreFound) {
  TempDir dir;
  const std::string record = Record("2.3.4.5");
  const size_t border = kVersionScanChunk;
  // Every split of the record by the border, from wholly before it to wholly after it.
  for (size_t start = border - record.size() - 1; start <= border + 1; ++start) {
    // A new file each time: rewriting one file in place costs a flush on some file systems.
    const std::string file = dir / ("at" + std::to_string(start));
    WriteBytes(file, std::string(start, 'z') + record + std::string(100, 'z'));
    ASSERT_EQ(FileVersionText(file), "2.3.4.5") << "record at " << start;
  }
  // A split at the second border, after a whole chunk without a record.
  WriteBytes(dir / "f", std::string(2 * border - 5, 'z') + record);
  EXPECT_EQ(FileVersionText(dir / "f"), "2.3.4.5");
}

TEST(FileVersionText, TextStopsAt255Characters) {
  TempDir dir;
  const std::string longText(300, '7');
  WriteBytes(dir / "f", std::string(kVersionScanChunk - 100, ' ') + Record(longText));
  EXPECT_EQ(FileVersionText(dir / "f"), longText.substr(0, 255));
}

}  // namespace
}  // namespace fd::support
