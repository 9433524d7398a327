#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "show/memory_pass_log.h"

namespace fd::devices {
class TControls;
}
namespace fd::show {
class TProjectList;
}

namespace fd::app {

// The progress window of writing the scenario into the consoles and verifying it there: headline,
// current console and channel, a gauge and "Отмена". Not modal and always on top; Enter and Esc
// press "Отмена" like a click. One instance lives for the whole program.
class TMemoryForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 383;
  static constexpr int kClientHeight = 148;

  // platform: where pending events are processed during a run and where result messages go.
  explicit TMemoryForm(platform::Platform& platform, QWidget* parent = nullptr);

  // Shows the window, writes (verifies) the scenario, reports the result and closes the window.
  // A call while a run is going on (from inside its progress events) does nothing and returns
  // false.
  bool RunWrite(devices::TControls& controls, show::TProjectList& list);
  bool RunVerify(devices::TControls& controls, show::TProjectList& list);
  // Result code of the last run.
  int LastResult() const { return lastResult_; }
  // The last run, console by console, as its journal records it; result: the text of its code.
  show::OrderedJson LastPass(const std::string& pass, const std::string& result) const;
  bool Running() const { return running_; }

  // The registry's OnMemoryProgress handler.
  void MemoryProgress(int percent, int deviceIndex, int consoleId, int channel, bool& cancel);
  void Button1Click();
  // A message box for the codes that have a message; nothing for the others.
  // A scenario the consoles cannot hold (faultLine set) is reported by its line instead.
  void ReportResult(int code, const std::optional<int>& faultLine = std::nullopt, const std::string& cause = {});

  QWidget* Panel1 = nullptr;
  QLabel* TextLabel = nullptr;
  QLabel* Label1 = nullptr;
  QProgressBar* Gauge = nullptr;
  QPushButton* Button1 = nullptr;
  bool Cancelled = false;

 public slots:
  // Esc presses "Отмена" instead of closing the window.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class Kind { Write, Verify };
  bool Run(Kind kind, devices::TControls& controls, show::TProjectList& list);
  void CentreOnParent();

  platform::Platform& platform_;
  bool running_ = false;
  int lastResult_ = 0;
  std::unique_ptr<show::MemoryPassLog> passLog_;
};

// The program's progress window while it exists; the main window's write and verify go through it.
extern TMemoryForm* MemoryForm;

}  // namespace fd::app
