#pragma once

#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/qt_platform.h"
#include "support/run_log.h"

namespace fd::app::testing {

// The Qt platform with message boxes recorded instead of shown.
class RecordingPlatform : public QtPlatform {
 public:
  struct Message {
    std::string Text;
    std::string Caption;
  };
  void ShowMessage(const std::string& text, const std::string& caption) override {
    Messages.push_back({text, caption});
  }
  std::vector<Message> Messages;
};

// Sends every user-scope QSettings of this process into dir, away from the user's own settings.
inline void RedirectUserSettings(const QString& dir) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
}

// A fresh folder for one test: the user settings go into its "config" and the run log starts
// anew. The caller checks isValid().
inline std::unique_ptr<QTemporaryDir> FreshTestDir() {
  auto dir = std::make_unique<QTemporaryDir>();
  if (dir->isValid()) RedirectUserSettings(dir->filePath("config"));
  fd::support::ResetRunLog();
  return dir;
}

}  // namespace fd::app::testing
