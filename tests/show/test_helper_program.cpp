// Where firnadesk-cli finds the program it hands rehearse to: in the installed libexec folder, or
// beside itself in the build tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "helper_program.h"
#include "support/temp_dir.h"

namespace fd::cli {
namespace {

namespace fs = std::filesystem;
using support::testing::TempDir;
using support::testing::WriteBytes;

TEST(HelperProgram, FoundInTheInstalledLibexecFolderFirstThenBesideTheProgram) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // relative to the root, made before the lookup
    std::string expected;            // relative to the root; empty: not found
  } cases[] = {
      {"installed", {"usr/libexec/firnadesk/helper"}, "usr/libexec/firnadesk/helper"},
      {"build tree", {"usr/bin/helper"}, "usr/bin/helper"},
      {"both: the installed one", {"usr/bin/helper", "usr/libexec/firnadesk/helper"}, "usr/libexec/firnadesk/helper"},
      {"a folder of that name is no program", {"usr/libexec/firnadesk/helper/x"}, ""},
      {"neither", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    const fs::path bin = fs::path(root.Path()) / "usr/bin";
    fs::create_directories(bin);
    for (const std::string& file : c.files) {
      fs::create_directories((fs::path(root.Path()) / file).parent_path());
      WriteBytes(root / file, "#!/bin/sh\n");
    }
    const HelperLookup found = FindHelperProgram(bin, "helper", "../libexec/firnadesk");
    if (c.expected.empty()) {
      EXPECT_TRUE(found.Path.empty());
      EXPECT_EQ(found.Problem, "cannot find helper in " + root.Path() + "usr/libexec/firnadesk or " + bin.string());
    } else {
      EXPECT_EQ(found.Path, (fs::path(root.Path()) / c.expected).lexically_normal());
    }
  }
}

}  // namespace
}  // namespace fd::cli
