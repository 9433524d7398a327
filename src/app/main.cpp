// Program entry of the console: command line, application, the main window and the small windows,
// then the message loop until the main window closes.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/converter_source.h"
#include "app/main_form.h"
#include "app/memory_form.h"
#include "app/qt_platform.h"
#include "app/session_automation.h"
#include "app/warning_dialogs.h"
#include "app/warning_form.h"
#include "demo/demo_run.h"
#include "support/terminal_text.h"

namespace {

// The picture is taken once the maximised window has been laid out and painted.
constexpr int kScreenshotDelayMs = 1500;

}  // namespace

int main(int argc, char** argv) {
  // The sound library would otherwise take SIGINT and SIGTERM for events nobody reads, and the
  // console could no longer be stopped by the system or from a terminal.
  setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const fd::app::CommandLineResult parsed = fd::app::ParseCommandLine(args);
  if (!parsed.Ok) {
    // The error may quote an argument: control characters in it must not drive the terminal.
    std::fprintf(stderr, "firnadesk: %s\n%s", fd::support::TerminalText(parsed.Error, 1024).c_str(),
                 fd::app::UsageText("firnadesk").c_str());
    return 2;
  }
  if (parsed.Options.HelpRequested) {
    std::fputs(fd::app::UsageText("firnadesk").c_str(), stdout);
    return 0;
  }

  // Qt sees no arguments: every option on our command line is ours.
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("Управление запуском"));

  fd::app::QtPlatform platform;

  // The converter first, so that a bad bench file is reported before any window opens.
  std::string converterError;
  std::unique_ptr<fd::app::ConverterSource> converter =
      fd::app::ConverterSource::Make(parsed.Options.Converter, platform.GetClock(), converterError);
  if (!converter) {
    std::fprintf(stderr, "firnadesk: %s\n", fd::support::TerminalText(converterError, 1024).c_str());
    return 2;
  }
  fd::app::StartupEnvironment environment = fd::app::StartupEnvironment::Default();
  environment.Converter = converter.get();

  // The single windows of the program, created in this order and living until it ends.
  fd::app::TMainForm mainForm(platform, parsed.Options, environment);
  fd::app::MainForm = &mainForm;
  fd::app::TWarningForm warningForm(platform, &mainForm);
  fd::app::WarningForm = &warningForm;
  fd::app::TMemoryForm memoryForm(platform, &mainForm);
  fd::app::MemoryForm = &memoryForm;
  fd::app::TExternalWarningForm externalWarningForm(&mainForm);
  fd::app::ExternalWarningForm = &externalWarningForm;
  fd::app::TPresentWarningForm presentWarningForm(&mainForm);
  fd::app::PresentWarningForm = &presentWarningForm;

  mainForm.show();
  // The operator works by keyboard alone: the window takes the keyboard itself, also where no
  // window manager would hand it over.
  mainForm.activateWindow();
  // The show folder named on the command line opens as if picked with F2 and F3, once the window
  // is up to carry its messages.
  QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.OpenStartupFiles(); });

  fd::app::SessionAutomation automation(&mainForm, QString::fromStdString(parsed.Options.ScreenshotPath),
                                        kScreenshotDelayMs, parsed.Options.QuitAfterMs);
  // Past the quit time nobody answers a message box: the rest of a start-up load goes on
  // without them.
  automation.OnQuit = [&platform] { platform.StopShowingMessages(); };
  automation.Start();

  // The demo plays on the in-process bench, whose fire log it reads at the end. Without a display
  // nobody is left to look at the window when it is over.
  std::unique_ptr<fd::app::DemoRun> demo;
  if (parsed.Options.Demo && converter->Bench() != nullptr) {
    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    demo = std::make_unique<fd::app::DemoRun>(mainForm, *converter->Bench(), platform.GetClock(),
                                              QString::fromStdString(parsed.Options.DemoShotsPath),
                                              parsed.Options.DemoExit || !display);
    QTimer::singleShot(0, demo.get(), [&demo] { demo->Start(); });
  }

  const int result = application.exec();
  fd::app::PresentWarningForm = nullptr;
  fd::app::MemoryForm = nullptr;
  fd::app::ExternalWarningForm = nullptr;
  fd::app::WarningForm = nullptr;
  fd::app::MainForm = nullptr;
  if (automation.ScreenshotFailed()) return result == 0 ? 1 : result;
  // A script that opened a show folder learns from the status that a file did not load.
  if (parsed.Options.QuitAfterMs >= 0 && platform.FailuresShown() > 0) return result == 0 ? 1 : result;
  if (demo) return demo->Done() ? demo->ExitCode() : 1;
  return result;
}
