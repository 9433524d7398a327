// The user's state folder, where the records go when the program's own folder cannot be written
// (the window's tests hold the choice itself).
#include <gtest/gtest.h>

#include <string>

#include "journal/records_place.h"

namespace fd::journal {
namespace {

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

}  // namespace
}  // namespace fd::journal
