// Status polling: one registered device per step, round robin, and the device's row in the panel
// or its radio indicator brought up to date with what it answered.
#include <QApplication>

#include "app/color_scheme.h"
#include "app/console_row.h"
#include "app/main_form.h"
#include "devices/common_control.h"

namespace fd::app {

namespace {

bool IsConsoleId(int id) { return id >= 1 && id <= 199; }
bool IsRadioId(int id) { return id >= 240 && id <= 254; }

}  // namespace

void TMainForm::IdleTimerTimer() {
  if (PollIndex < Controls->Count()) {
    // The device stays allocated even if a handler run from inside its exchange removes it.
    devices::TControls::Hold hold(*Controls);
    devices::TCommonDevice* device = Controls->Items(PollIndex);
    device->Poll();
    const int id = device->ID;
    if (IsConsoleId(id)) {
      // Rows follow registry order: the row is the number of consoles listed before this one.
      int row = 0;
      for (int i = 0; i < PollIndex && i < Controls->Count(); ++i)
        if (IsConsoleId(Controls->Items(i)->ID)) ++row;
      if (Controls->Items(PollIndex) == device && row < RowCount) ShowConsoleRow(row, *device, false);
    } else if (IsRadioId(id)) {
      ShowRadioResult(*device);
    }
  }
  ++PollIndex;
  if (PollIndex >= Controls->Count()) PollIndex = 0;
}

void TMainForm::PlayerIdle() { IdleTimerTimer(); }

void TMainForm::ShowConsoleRow(int row, const devices::TCommonDevice& device, bool fresh) {
  if (row < 0 || row >= RowCount || Rows[static_cast<size_t>(row)] == nullptr) return;
  const auto* console = dynamic_cast<const devices::TCommonControl*>(&device);
  if (console == nullptr) return;
  QLabel* label = Rows[static_cast<size_t>(row)];
  const QChar point = SystemDecimalPoint();
  label->setText(
      fresh ? NewConsoleRow(console->ID, console->ChannelCount, console->Voltage, console->LinkQuality(), point)
            : PolledConsoleRow(label->text(), console->Voltage, console->LinkQuality(), point));

  const ConsoleRowColors colors = RowColorsFor(console->LastResult, console->StatusBit, ColorField);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText,
             colors.ErrorText ? QColor(0xFF, 0xFF, 0xFF) : QApplication::palette().color(QPalette::WindowText));
  if (colors.Background) p.setColor(QPalette::Window, *colors.Background);
  label->setPalette(p);
}

void TMainForm::ShowRadioResult(const devices::TCommonDevice& device) {
  if (!IsRadioId(device.ID)) return;
  RadioLeds[static_cast<size_t>(device.ID - 240)]->SetFill(device.LastResult != 0 ? ColorAlarm : ColorOn);
}

}  // namespace fd::app
