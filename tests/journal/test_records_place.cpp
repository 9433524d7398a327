// Where the run log and the journals go: beside the program when it can write there, otherwise the
// user's state folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "journal/records_place.h"
#include "journal/show_journal.h"
#include "support/run_log.h"
#include "support/run_log_name.h"
#include "support/temp_dir.h"

namespace fd::journal {
namespace {

using support::testing::TempDir;

TEST(RecordsPlace, StateFolderFollowsTheBaseDirectoryRules) {
  struct Case {
    const char* xdg;
    const char* home;
    std::string folder;
  };
  const Case cases[] = {
      {"/var/state", "/home/op", "/var/state/firnadesk/"},
      {"/var/state/", "/home/op", "/var/state/firnadesk/"},
      {nullptr, "/home/op", "/home/op/.local/state/firnadesk/"},
      {"", "/home/op", "/home/op/.local/state/firnadesk/"},
      {"relative/state", "/home/op", "/home/op/.local/state/firnadesk/"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StateFolder(c.xdg, c.home), c.folder) << (c.xdg ? c.xdg : "(unset)");
}

TEST(RecordsPlace, ChoosesTheProgramFolderOnlyWhenItCanBeWritten) {
  struct Case {
    const char* name;
    bool programWritable;
    bool stateWritable;
    bool besideProgram;
    bool writable;
  };
  const Case cases[] = {
      {"a copy in its own folder", true, true, true, true},
      {"installed in a system folder", false, true, false, true},
      {"nothing can be written", false, false, true, false},
  };
  TempDir dir;
  const std::string program = dir / "bin/";
  const std::string state = dir / "state/";
  std::filesystem::create_directories(program);
  for (const Case& c : cases) {
    const RecordsPlace place = ChooseRecordsPlace(program, state, [&](const std::string& folder) {
      return folder == program ? c.programWritable : c.stateWritable;
    });
    EXPECT_EQ(place.BesideProgram, c.besideProgram) << c.name;
    EXPECT_EQ(place.Writable, c.writable) << c.name;
    EXPECT_EQ(place.Folder, c.besideProgram ? program : state) << c.name;
    EXPECT_EQ(JournalFolder(place, ""), place.Folder + "journal/") << c.name;
    EXPECT_EQ(JournalFolder(place, dir / "elsewhere"), dir / "elsewhere/") << c.name;
  }
}

// A program folder that nobody can write, root included: a path through a plain file.
TEST(RecordsPlace, UnwritableProgramFolderPutsTheRunLogAndTheJournalInTheStateFolder) {
  TempDir dir;
  support::testing::WriteBytes(dir / "file", "");
  const std::string program = dir / "file/bin/";
  const std::string state = dir / "state/firnadesk/";
  const RecordsPlace place = ChooseRecordsPlace(program, state);
  ASSERT_TRUE(place.Writable);
  ASSERT_FALSE(place.BesideProgram);
  ASSERT_EQ(place.Folder, state);

  support::ResetRunLog();
  std::filesystem::create_directories(place.Folder + "logs");
  const std::string logName = support::RunLogFileName(place.Folder, "09.12.2026");
  support::SetLogFileName(logName);
  support::LogLevel = 1;
  support::SetDebugOutput(nullptr);
  support::WriteLog("Запуск ПО управления", 1);
  support::ResetRunLog();
  EXPECT_EQ(logName, state + "logs/09.12.2026_0.log");
  EXPECT_TRUE(std::filesystem::exists(logName));

  const std::string journalFolder = JournalFolder(place, "");
  std::filesystem::create_directories(journalFolder);
  ShowJournal journal;
  JournalHeader header;
  header.scenarioPath = "/shows/finale.txt";
  ASSERT_TRUE(journal.Open(journalFolder, 0, header));
  journal.Close(0);
  EXPECT_EQ(journal.Path().rfind(state + "journal/", 0), 0u) << journal.Path();
  EXPECT_TRUE(std::filesystem::exists(journal.Path()));
}

}  // namespace
}  // namespace fd::journal
