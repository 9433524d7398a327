// Loading the scenario and the soundtrack from the launch view, by key or from the command line.
#include "app/scenario_files.h"

#include <QFileDialog>
#include <QStringList>

#include "app/color_scheme.h"
#include "app/main_form.h"
#include "app/script_loading.h"
#include "show/journal_header.h"
#include "support/run_log.h"

namespace fd::app {

namespace {

// Scenarios, and the scripts show-design programs export (read by their header row).
const QString kScenarioFilter = QStringLiteral("Текстовые файлы|*.txt; *.csv");
const QString kSoundtrackFilter = QStringLiteral("Аудиофайлы|*.wav; *.mp3; *.wma");

}  // namespace

// "Аудиофайлы|*.wav; *.mp3; *.wma" becomes "Аудиофайлы (*.wav *.mp3 *.wma *.WAV *.MP3 *.WMA)": file
// names on Linux keep their case, and a show folder copied from a Windows machine often shouts.
QString QtFileFilter(const QString& designFilter) {
  const QStringList parts = designFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      pattern = pattern.trimmed();
      if (!patterns.contains(pattern)) patterns << pattern;
    }
    const QStringList lower = patterns;
    for (const QString& pattern : lower)
      if (!patterns.contains(pattern.toUpper())) patterns << pattern.toUpper();
    filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
  }
  return filters.join(QStringLiteral(";;"));
}

void TMainForm::ProjectBtnClick() {
  // Loading replaces the list the show, a test or a write is working through.
  if (!MayStartWork()) return;
  const QString path = ChooseFile ? ChooseFile(kScenarioFilter) : QString();
  if (!path.isEmpty()) {
    OpenScenario(path);
    return;
  }
  // A cancelled dialog rebuilds the list from the scenario as it was.
  FillList();
  UpdateControls();
}

void TMainForm::OpenScenario(const QString& path) {
  if (!MayStartWork()) return;
  ScenarioPath = path.toStdString();
  if (IsDesignScript(path.toStdString())) {
    LoadDesignScript(path.toStdString(), *Project, platform_);
    BeginBtnClick();
    FillList();
    UpdateControls();
    OfferResume();
    return;
  }
  const show::LoadResult result = Project->LoadFromFile(path.toStdString());
  // A file that could not be opened is the window's to report; a bad line the list reported itself.
  if (result.Status == show::LoadStatus::OpenFailed)
    platform_.ShowFailure(result.Message, "Ошибка", show::LoadFailureRecord(result));
  // A new scenario starts at its beginning, never at the old one's position in it, and none of
  // its cues counts as played at the old one's stop.
  Player->ForgetStopPoint();
  BeginBtnClick();
  FillList();
  UpdateControls();
  OfferResume();
}

void TMainForm::SoundBtnClick() {
  if (!MayStartWork()) return;
  if (Player->Soundtrack && Player->Soundtrack->Loaded()) {
    // The same key loads and unloads.
    Player->CloseSoundtrack();
  } else {
    const QString path = ChooseFile ? ChooseFile(kSoundtrackFilter) : QString();
    if (!path.isEmpty()) {
      LoadSoundtrackFile(path);
      return;
    }
  }
  const bool loaded = Player->Soundtrack && Player->Soundtrack->Loaded();
  SoundLoadedLed->SetFill(loaded ? ColorOn : ColorBack);
  SoundLoadedLed->SetLabelColor(loaded ? ColorOnText : ColorOffText);
  UpdateControls();
}

void TMainForm::OpenSoundtrack(const QString& path) {
  if (!MayStartWork()) return;
  LoadSoundtrackFile(path);
}

void TMainForm::LoadSoundtrackFile(const QString& path) {
  SoundLoading = true;
  UpdateControls();
  Player->LoadSoundtrack(path.toStdString());
  const bool loaded = Player->Soundtrack && Player->Soundtrack->Loaded();
  // The journal names the soundtrack by its digest; read now, while the operator waits for the
  // load anyway, not when F5 starts the show.
  if (loaded) show::RememberedFileSha256(Player->Soundtrack->FileName);
  SoundLoading = false;
  SoundLoadedLed->SetFill(loaded ? ColorOn : ColorBack);
  SoundLoadedLed->SetLabelColor(loaded ? ColorOnText : ColorOffText);
  UpdateControls();
  if (closeAfterSoundLoad_) close();
}

void TMainForm::OpenStartupFiles() {
  WarnRecordsUnwritable();
  if (!options_.ScenarioPath.empty()) OpenScenario(QString::fromStdString(options_.ScenarioPath));
  // A window closed while the scenario's message waited (--quit-after) loads nothing more.
  if (!isVisible()) return;
  if (!options_.SoundtrackPath.empty()) OpenSoundtrack(QString::fromStdString(options_.SoundtrackPath));
  if (!isVisible()) return;
  if (!options_.TimecodeSource.empty()) StartChasing(options_.TimecodeSource, options_.TimecodeOffset);
}

std::function<QString(const QString&)> FileDialogChooser(QWidget* owner) {
  return [owner](const QString& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), QString(), QtFileFilter(filter));
  };
}

}  // namespace fd::app
