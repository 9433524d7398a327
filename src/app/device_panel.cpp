// The device panel: one row per console in registry order, the radio indicators, the search
// switch and the switch between the launch view and the test view.
#include <QFrame>
#include <QLayout>

#include "app/color_scheme.h"
#include "app/main_form.h"
#include "app/warning_dialogs.h"
#include "devices/soft_control.h"
#include "support/run_log.h"

namespace fd::app {

namespace {

QString Hex(int value, int digits) {
  return QStringLiteral("%1").arg(value & ((1 << (4 * digits)) - 1), digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

void TMainForm::ControlsChanged(int /*id*/) { UpdateDevPanel(); }

void TMainForm::UpdateDevPanel() {
  // A channel test, a write or a verify walks the registry by position; sorting it under them
  // would send the rest of their work to other consoles.
  if (Testing || MemoryWorkRunning()) {
    devPanelStale_ = true;
    return;
  }
  devPanelStale_ = false;
  Controls->SortByID();
  for (int i = 0; i < RowCount; ++i) {
    delete Rows[static_cast<size_t>(i)];
    Rows[static_cast<size_t>(i)] = nullptr;
  }
  RowCount = 0;
  for (LedShape* led : RadioLeds) led->SetFill(ColorBack);

  for (int i = 0; i < Controls->Count(); ++i) {
    const devices::TCommonDevice* device = Controls->Items(i);
    const int id = device->ID;
    if (id >= 1 && id <= 199) {
      // The panel holds 64 rows; consoles beyond them are polled but not shown.
      if (RowCount >= kMaxRows) continue;
      auto* row = new QLabel(DevPanel);
      row->setObjectName(QStringLiteral("Row%1").arg(id));
      row->setFixedHeight(21);
      row->setFrameStyle(QFrame::Box | QFrame::Plain);
      row->setAutoFillBackground(true);
      QPalette p = row->palette();
      p.setColor(QPalette::Window, QColor(0xDB, 0xE7, 0xF9));
      row->setPalette(p);
      DevPanel->layout()->addWidget(row);
      // Shown at once, not on the next pass of the event loop: a poll may colour it right away.
      row->show();
      Rows[static_cast<size_t>(RowCount)] = row;
      ++RowCount;
      ShowConsoleRow(RowCount - 1, *device, true);
    } else if (id >= 240 && id <= 254) {
      RadioLeds[static_cast<size_t>(id - 240)]->SetFill(ColorOn);
    }
  }
  CurrentControl = Controls->Count() == 0 ? -1 : 0;
  DrawChannels();
}

void TMainForm::CatchUpDevPanel() {
  if (devPanelStale_) UpdateDevPanel();
}

void TMainForm::ResumePolling() {
  IdleTimer->SetEnabled(!IsPlaying() && !Searching && !Testing && !MemoryWorkRunning());
}

void TMainForm::SearchBtnClick() {
  const bool searching = SearchBtn->isChecked();
  // A search sweeps the bus: never into the middle of a test, a write, a verify or a show. Ending a
  // search is always allowed.
  if (searching && !Searching && !MayStartWork()) {
    SearchBtn->setChecked(false);
    return;
  }
  if (searching) {
    IdleTimer->SetEnabled(false);
    Controls->SetSearchMode(devices::smRegister | devices::smSweep);
  } else {
    Controls->SetSearchMode(devices::smNone);
  }
  const bool ended = Searching && !searching;
  Searching = searching;
  if (!searching) ResumePolling();
  UpdateControls();
  if (!ended) return;

  Project->MarkUsedChannels(*Controls);
  if (IsTestView()) DrawChannels();
  std::vector<std::pair<QString, QString>> extra;
  if (const devices::TCommonDevice* remote = Controls->FindByID(0)) {
    support::WriteLog("Обнаружено дополнительное устройство, ID=" + std::to_string(remote->ID), 1);
    extra.emplace_back(QString::number(remote->ID),
                       QStringLiteral("ПДУ(Р) [версия: ") + Hex(remote->Version, 3) + QStringLiteral("]"));
  }
  for (int k = 0; k < Controls->SoftCount(); ++k) {
    const devices::TSoftControl* soft = Controls->SoftByOrdinal(k);
    if (soft == nullptr) continue;
    extra.emplace_back(Hex(soft->ID, 2) + QStringLiteral(":") + Hex(soft->PeerNumber, 2),
                       QString::fromStdString(devices::SoftwareKindText(soft->Version)));
  }
  if (!extra.empty() && ExternalWarningForm != nullptr) ExternalWarningForm->ShowDevices(extra);
}

void TMainForm::TestBtnClick() {
  // The view stays where a running test or show needs it.
  if (Testing || IsPlaying()) {
    TestBtn->setChecked(!TestBtn->isChecked());
    return;
  }
  const bool testView = TestBtn->isChecked();
  LaunchPanel->setVisible(!testView);
  TestPanel->setVisible(testView);
  if (testView) {
    CurrentControl = Controls->FirstConsole();
    DrawChannels();
  }
  UpdateControls();
}

bool TMainForm::MayStartWork() const {
  return !Searching && !Testing && !SoundLoading && !IsPlaying() && !MemoryWorkRunning();
}

namespace {

bool StandsOnConsole(const devices::TControls& controls, int index) {
  const devices::TCommonDevice* device = controls.Items(index);
  return device != nullptr && device->ID >= 1 && device->ID <= 199;
}

}  // namespace

void TMainForm::UpBtnClick() {
  if (Testing || Searching) return;
  if (Controls->FirstConsole() < CurrentControl) {
    do {
      --CurrentControl;
    } while (CurrentControl >= 0 && !StandsOnConsole(*Controls, CurrentControl));
  }
  if (CurrentControl < 0 || CurrentControl >= Controls->Count()) CurrentControl = Controls->FirstConsole();
  DrawChannels();
  UpdateControls();
}

void TMainForm::DownBtnClick() {
  if (Testing || Searching) return;
  if (CurrentControl < Controls->LastConsole()) {
    do {
      ++CurrentControl;
    } while (CurrentControl < Controls->Count() && !StandsOnConsole(*Controls, CurrentControl));
  }
  if (CurrentControl < 0 || CurrentControl >= Controls->Count()) CurrentControl = Controls->LastConsole();
  DrawChannels();
  UpdateControls();
}

}  // namespace fd::app
