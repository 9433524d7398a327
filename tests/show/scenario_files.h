#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fd::show::testing {

// A private folder for scenario files, removed with its contents at the end of the test.
class ScenarioFolder {
 public:
  ScenarioFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "firnadesk-scenario-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    path_ = made ? made : pattern;
  }
  ~ScenarioFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScenarioFolder(const ScenarioFolder&) = delete;
  ScenarioFolder& operator=(const ScenarioFolder&) = delete;

  // Writes the bytes exactly as given (no line-end translation) and returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string file = (path_ / name).string();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace fd::show::testing
