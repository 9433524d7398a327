#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/run_log_name.h"
#include "temp_dir.h"

namespace fd::support {
namespace {

using testing::TempDir;
using testing::WriteBytes;

class RunLogNameTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::create_directory(dir_ / "logs")); }
  void Touch(const std::string& name) { WriteBytes(dir_ / ("logs/" + name), ""); }
  size_t LogsEntries() {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(dir_ / "logs"), std::filesystem::directory_iterator()));
  }

  TempDir dir_;
};

TEST_F(RunLogNameTest, FirstRunOfTheDayIsNumberZeroAndNothingIsCreated) {
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06.12.2026"), dir_ / "logs/06.12.2026_0.log");
  EXPECT_EQ(LogsEntries(), 0u);
}

TEST_F(RunLogNameTest, TakesTheFirstFreeNumber) {
  Touch("06.12.2026_0.log");
  Touch("06.12.2026_1.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06.12.2026"), dir_ / "logs/06.12.2026_2.log");
  for (int n = 2; n <= 4; ++n) Touch("06.12.2026_" + std::to_string(n) + ".log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06.12.2026"), dir_ / "logs/06.12.2026_5.log");
  // Other days do not count.
  EXPECT_EQ(RunLogFileName(dir_.Path(), "07.12.2026"), dir_ / "logs/07.12.2026_0.log");
}

TEST_F(RunLogNameTest, AGapIsFilled) {
  Touch("06.12.2026_0.log");
  Touch("06.12.2026_2.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06.12.2026"), dir_ / "logs/06.12.2026_1.log");
}

TEST_F(RunLogNameTest, AnythingUnderTheNameTakesTheNumber) {
  ASSERT_TRUE(std::filesystem::create_directory(dir_ / "logs/06.12.2026_0.log"));
  ASSERT_EQ(::symlink("nowhere", (dir_ / "logs/06.12.2026_1.log").c_str()), 0);
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06.12.2026"), dir_ / "logs/06.12.2026_2.log");
}

TEST_F(RunLogNameTest, ADateNeverMakesAPathSeparator) {
  EXPECT_EQ(RunLogFileName(dir_.Path(), "12/06/2026"), dir_ / "logs/12.06.2026_0.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "../../etc"), dir_ / "logs/......etc_0.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "06\\12\\2026"), dir_ / "logs/06.12.2026_0.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), std::string("06") + '\0' + "12"), dir_ / "logs/06.12_0.log");
  Touch("12.06.2026_0.log");
  EXPECT_EQ(RunLogFileName(dir_.Path(), "12/06/2026"), dir_ / "logs/12.06.2026_1.log");
  EXPECT_EQ(LogsEntries(), 1u);
}

TEST_F(RunLogNameTest, MissingLogsFolderIsNotCreated) {
  TempDir bare;
  EXPECT_EQ(RunLogFileName(bare.Path(), "06.12.2026"), bare / "logs/06.12.2026_0.log");
  EXPECT_FALSE(std::filesystem::exists(bare / "logs"));
}

TEST_F(RunLogNameTest, FolderWithoutItsSeparatorGetsOne) {
  std::string folder = dir_.Path();
  folder.pop_back();
  EXPECT_EQ(RunLogFileName(folder, "06.12.2026"), dir_ / "logs/06.12.2026_0.log");
}

}  // namespace
}  // namespace fd::support
