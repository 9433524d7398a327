// The channel graph of the current console and the channel tests of one console or of all. A test
// runs on this thread and lets pending events through after every channel, so the graph repaints
// and the stop key is heard; Testing keeps everything else from starting meanwhile.
#include "app/color_scheme.h"
#include "app/console_row.h"
#include "app/main_form.h"
#include "devices/common_control.h"

namespace fd::app {

namespace {

QString Hex3(int value) { return QStringLiteral("%1").arg(value & 0xFFF, 3, 16, QLatin1Char('0')).toUpper(); }

void SetIfChanged(QLabel* label, const QString& text) {
  // The paint handler draws too: a label that keeps its text must not ask for another paint.
  if (label->text() != text) label->setText(text);
}

const devices::TCommonControl* CurrentConsole(const TMainForm& form) {
  if (form.CurrentControl < 0 || form.CurrentControl >= form.Controls->Count()) return nullptr;
  const devices::TCommonDevice* device = form.Controls->Items(form.CurrentControl);
  if (device == nullptr || device->ID < 1 || device->ID > 199) return nullptr;
  return dynamic_cast<const devices::TCommonControl*>(device);
}

// Draws the current console into the graph's off-screen image; the caller copies it on screen.
void RenderChannels(TMainForm& form) {
  const devices::TCommonControl* console = CurrentConsole(form);
  const QString unknown = QStringLiteral("?");
  SetIfChanged(form.NumberValue, console ? QString::number(console->ID) : unknown);
  SetIfChanged(form.ChannelCountValue, console ? QString::number(console->ChannelCount) : unknown);
  SetIfChanged(form.VersionValue, console ? Hex3(console->Version) : unknown);
  QImage& image = form.ChannelsGraph->BeginImage(ColorField);
  if (console == nullptr) return;
  DrawChannelCells(image, *console, ColorField, SystemDecimalPoint());
}

}  // namespace

void TMainForm::DrawChannels() {
  RenderChannels(*this);
  ChannelsGraph->update();
}

void TMainForm::ChannelsGraphPaint() { RenderChannels(*this); }

bool TMainForm::TestCurrentControl() {
  devices::ChannelTestRun run(*Controls, platform_);
  run.OnChannel = [this] { DrawChannels(); };
  activeTest_ = &run;
  TestStop = false;
  const bool completed = run.TestConsoleAt(CurrentControl);
  activeTest_ = nullptr;
  TestStop = run.TestStop;
  return completed;
}

void TMainForm::ControlTestBtnClick() {
  // The key and the button are disabled outside the test view and while other work runs; a click
  // that arrives from inside that work anyway starts nothing.
  if (!MayStartWork() || !IsTestView()) return;
  IdleTimer->SetEnabled(false);
  Testing = true;
  UpdateControls();
  TestCurrentControl();
  JournalChannelTest({CurrentControl});
  Testing = false;
  UpdateControls();
  ResumePolling();
  CatchUpDevPanel();
}

void TMainForm::TestAllBtnClick() {
  if (!MayStartWork() || !IsTestView()) return;
  IdleTimer->SetEnabled(false);
  Testing = true;
  UpdateControls();
  {
    devices::ChannelTestRun run(*Controls, platform_);
    run.OnChannel = [this] { DrawChannels(); };
    activeTest_ = &run;
    TestStop = false;
    run.TestAll(CurrentControl);
    activeTest_ = nullptr;
    TestStop = run.TestStop;
  }
  std::vector<int> every(static_cast<size_t>(Controls->Count()));
  for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<int>(i);
  JournalChannelTest(every);
  Testing = false;
  UpdateControls();
  ResumePolling();
  CatchUpDevPanel();
}

void TMainForm::TestStopBtnClick() {
  TestStop = true;
  if (activeTest_ != nullptr) activeTest_->TestStop = true;
}

}  // namespace fd::app
