// The operator window with a scenario of 0, 100, 100 000 and 1 000 000 cues, offscreen on the
// in-process bench: how long loading the file and showing it in the cue list takes, how much memory
// the window holds then (resident now and at its peak), and what following the show costs per cue
// (the selected row moves to the next cue, the list scrolls and is painted). Each size runs in a
// process of its own, so that one size's memory never counts in the next. Prints figures; judges
// nothing.
//
//   bench_window_cues              every size, one table
//   bench_window_cues --cues N     one size, one line: cues, load ms, resident MB, peak MB, follow us
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/converter_source.h"
#include "app/main_form.h"
#include "app/qt_platform.h"

namespace {

using namespace fd;

constexpr int kFollowSteps = 3000;

// Message boxes would wait for a key nobody presses: they go to standard error.
class QuietPlatform : public app::QtPlatform {
 public:
  void ShowMessage(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
};

// A "Name:  1234 kB" field of /proc/self/status in MB.
double StatusMb(const char* name) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  double mb = 0;
  const size_t length = std::strlen(name);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
      mb = std::atof(line + length + 1) / 1024.0;
      break;
    }
  }
  std::fclose(f);
  return mb;
}

// Ten consoles, sixteen channels each, a cue every tenth of a second, every tenth cue a motion.
bool WriteScenario(const std::string& path, int cues) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  for (int i = 0; i < cues; ++i) {
    if (i % 10 == 9)
      std::fprintf(f, "%d.%03d %d #C#50 turn %d\n", i / 10, (i % 10) * 100, 1 + i % 10, i);
    else
      std::fprintf(f, "%d.%03d %d %d cue %d\n", i / 10, (i % 10) * 100, 1 + i % 10, 1 + (i / 10) % 16, i);
  }
  return std::fclose(f) == 0;
}

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int MeasureOne(int cues, int argc, char** argv) {
  QApplication application(argc, argv);
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("config"));
  const std::string path = dir.filePath("show.txt").toStdString();
  if (!WriteScenario(path, cues)) return 1;

  QuietPlatform platform;
  app::ConverterChoice choice;
  choice.Kind = app::ConverterChoice::Source::Simulate;
  std::string error;
  std::unique_ptr<app::ConverterSource> converter = app::ConverterSource::Make(choice, platform.GetClock(), error);
  if (!converter) return 1;
  app::CommandLineOptions options;
  options.Converter = choice;
  app::StartupEnvironment environment;
  environment.ProgramFolder = dir.path().toStdString() + "/";
  environment.Now = [] { return std::time_t{1765200000}; };
  environment.Converter = converter.get();
  app::TMainForm form(platform, options, environment);
  app::MainForm = &form;
  form.resize(app::TMainForm::kDesignWidth, app::TMainForm::kDesignHeight);
  form.show();
  Settle(300);

  QElapsedTimer load;
  load.start();
  form.OpenScenario(QString::fromStdString(path));
  QCoreApplication::processEvents();
  form.List->viewport()->repaint();
  const double loadMs = static_cast<double>(load.nsecsElapsed()) / 1e6;
  if (form.Project->Count() != cues) {
    std::fprintf(stderr, "%d cues of %d loaded\n", form.Project->Count(), cues);
    return 1;
  }
  Settle(200);
  const double residentMb = StatusMb("VmRSS");
  const double peakMb = StatusMb("VmHWM");

  // The player's progress as a running show reports it: one cue further each time.
  double followUs = 0;
  if (cues > 0) {
    const int steps = kFollowSteps;
    QElapsedTimer follow;
    follow.start();
    for (int i = 0; i < steps; ++i) {
      const int next = i % std::min(cues, steps);
      form.Player->NextCue = next;
      form.PlayerProgress(form.Project->Items(next).TimeMs);
      QCoreApplication::processEvents();
    }
    followUs = static_cast<double>(follow.nsecsElapsed()) / 1e3 / steps;
  }
  app::MainForm = nullptr;
  std::printf("%d %.1f %.1f %.1f %.1f\n", cues, loadMs, residentMb, peakMb, followUs);
  return 0;
}

std::string SelfPath() {
  std::array<char, 4096> buffer{};
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
  if (argc == 3 && std::strcmp(argv[1], "--cues") == 0) {
    int one = 1;
    return MeasureOne(std::atoi(argv[2]), one, argv);
  }

  const std::string self = SelfPath();
  std::printf("%-10s %10s %13s %9s %17s\n", "cues", "load ms", "resident MB", "peak MB", "follow us/cue");
  int status = 0;
  for (int cues : {0, 100, 100000, 1000000}) {
    const std::string command = "'" + self + "' --cues " + std::to_string(cues);
    std::FILE* child = ::popen(command.c_str(), "r");
    char line[256] = {};
    int n = 0;
    double loadMs = 0, residentMb = 0, peakMb = 0, followUs = 0;
    const bool read = child != nullptr && std::fgets(line, sizeof line, child) != nullptr &&
                      std::sscanf(line, "%d %lf %lf %lf %lf", &n, &loadMs, &residentMb, &peakMb, &followUs) == 5;
    if (child != nullptr) ::pclose(child);
    if (!read) {
      std::printf("%-10d failed\n", cues);
      status = 1;
      continue;
    }
    std::printf("%-10d %10.1f %13.1f %9.1f %17.1f\n", n, loadMs, residentMb, peakMb, followUs);
    std::fflush(stdout);
  }
  return status;
}
