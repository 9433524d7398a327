#pragma once

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QThreadPool>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/channel_graph.h"
#include "app/command_line.h"
#include "app/converter_source.h"
#include "app/led_shape.h"
#include "app/startup_environment.h"
#include "bus/tport.h"
#include "devices/channel_test_run.h"
#include "devices/controls.h"
#include "journal/records_place.h"
#include "journal/show_journal.h"
#include "platform/platform.h"
#include "platform/timer.h"
#include "show/common_player.h"
#include "show/journal_header.h"
#include "show/project_list.h"
#include "timecode/chase_input.h"

namespace fd::app {

class CueTableModel;

// The console's main window: the device panel on the left, the launch view (state LEDs, time
// display, cue list, launch buttons) or the test view (current console, channel graph, test buttons)
// on the right. Components carry their design names as object names.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxRows = 64;
  static constexpr int kDesignWidth = 971;
  static constexpr int kDesignHeight = 750;
  // The cue list's time, console and channel columns (the comment takes the rest).
  static constexpr std::array<int, 3> kListColumnWidths{108, 64, 64};

  // Runs the whole start-up sequence (FormCreate). options.Converter is kept for the bus start.
  TMainForm(platform::Platform& platform, const CommandLineOptions& options,
            const StartupEnvironment& environment = StartupEnvironment::Default(), QWidget* parent = nullptr);
  ~TMainForm() override;

  // Sets the colour variables from ColorScheme and paints the window with them.
  void ApplyColorScheme();
  void ColorActionExecute();
  void ExitActionExecute();

  const CommandLineOptions& Options() const { return options_; }
  platform::Platform& Platform() { return platform_; }

  // The caption text shown from FormShow on.
  static QString CaptionText();

  // --- window state
  int32_t RowCount = 0;
  std::array<QLabel*, kMaxRows> Rows{};  // console rows of DevPanel, 0 .. RowCount - 1
  int32_t PollIndex = 0;
  int32_t CurrentControl = 0;
  bool LinkLost = false;
  // A stop that the converter has not taken yet is shown until it went out.
  bool StopUndelivered = false;
  bool Searching = false;
  bool Testing = false;
  // A soundtrack is being decoded: the window repaints meanwhile, but no key starts anything.
  bool SoundLoading = false;
  bool TestStop = false;
  int32_t FlashPhase = 0;

  // --- working objects, created at start-up and living as long as the window
  std::unique_ptr<bus::TPortProto> Port;         // the bus engine
  std::unique_ptr<devices::TControls> Controls;  // the device registry
  std::unique_ptr<show::TProjectList> Project;   // the loaded scenario

  // The timecode the show chases while chase mode is on (F7, --timecode); none otherwise. Declared
  // before the player, which holds its chase, so that it outlives the player.
  std::unique_ptr<timecode::ChaseInput> Chase;
  std::unique_ptr<show::TCommonPlayer> Player;  // the show player

  // --- start-up wiring (startup_wiring.cpp)
  // Every frame the bus engine hears unsolicited: the registry first (announcements during a
  // search, other operator programs' queries), then the player (state queries, the stop broadcast).
  void PortDeviceEvent(const bus::Frame6& frame, int converter);

  // --- operating modes, start, stop and rewind (operating_modes.cpp)
  void ControlActionExecute();  // Shift+F1: toggles the launch mode
  void StartBtnClick();
  void StopBtnClick();
  void BeginBtnClick();
  void PlayerStateChanged();
  void PlayerEmergencyStop();
  void PlayerConnectionStop();
  // The show's journal: opened as a show starts, closed when it has stopped.
  void BeginShowJournal();
  void EndShowJournal();
  void DrawShowPicture(const std::string& journalPath);
  // Waits at most ms for the show pictures still being drawn; false when one is not done by then.
  bool WaitForShowPictures(int ms) { return pictureThreads_.waitForDone(ms); }
  void ShowJournalFailed(const std::string& path, uint64_t bytes, const std::string& reason);
  // A write or verify that ran leaves a journal of its own; the next show's header names its result.
  void JournalMemoryWork(const char* kind, bool ran);
  // A channel test leaves a journal of what it measured, console by console (registry indexes).
  void JournalChannelTest(const std::vector<int>& consoleIndexes);
  // Opens the journal of work on the consoles (label "write", "verify", "test") and names it on
  // standard error; false when none could be made.
  bool OpenWorkJournal(journal::ShowJournal& journal, journal::JournalHeader header, const char* label);
  // Said once, at start, when no records folder can be written.
  void WarnRecordsUnwritable();
  const journal::RecordsPlace& Records() const { return records_; }
  // The show journal of the running show; none between shows.
  std::unique_ptr<journal::ShowJournal> ShowJournal;
  // The file the scenario was loaded from (the list keeps only its name).
  std::string ScenarioPath;
  // Tells the operator, once, that stop frames are waiting for the converter.
  void NoteUndeliveredStop();
  bool IsPlaying() const;

  // --- keys (key_map.cpp): every key press of the program that no enabled action took
  void ApplicationEventsShortCut(int key, bool& handled);

  // --- which buttons and actions are enabled, the state and mode LEDs (control_enabling.cpp)
  void UpdateControls();
  void ActionListUpdate();
  void UpdateLeds();
  bool IsTestView() const;
  // A scenario write or verify is running in the progress window: nothing new may start.
  bool MemoryWorkRunning() const;
  // Nothing that touches the bus or the scenario runs (search, channel test, write, verify, show):
  // a handler that would start such work asks this first.
  bool MayStartWork() const;

  // --- polling and indicators (status_polling.cpp, indicators.cpp)
  void IdleTimerTimer();
  void PlayerIdle();
  void ErrFlashTimerTimer();
  void PortLinkLost();
  void PortLinkRestored();

  // --- device panel (device_panel.cpp)
  void ControlsChanged(int id);
  void UpdateDevPanel();
  void SearchBtnClick();
  void TestBtnClick();
  void UpBtnClick();
  void DownBtnClick();

  // --- channel graph and channel tests (channel_testing.cpp)
  void DrawChannels();
  void ChannelsGraphPaint();
  void ControlTestBtnClick();
  void TestAllBtnClick();
  void TestStopBtnClick();
  bool TestCurrentControl();

  // --- cue list and show position (cue_list_view.cpp)
  // Puts the list's rows over Project, once it exists.
  void AttachCueList();
  void FillList();
  void PlayerProgress(int32_t ms);

  // --- scenario and soundtrack files (scenario_files.cpp)
  void ProjectBtnClick();
  void SoundBtnClick();
  // Loads a scenario or a soundtrack as if the operator had picked it in the dialog.
  void OpenScenario(const QString& path);
  void OpenSoundtrack(const QString& path);
  // Loads the soundtrack with the window kept alive, and shows whether it is loaded.
  void LoadSoundtrackFile(const QString& path);
  // The files named on the command line, loaded once the window is up.
  void OpenStartupFiles();
  // Asks the operator for a file: the dialog's filter in its design form ("Текстовые файлы|*.txt");
  // returns the chosen path, empty when cancelled. The program shows a file dialog; tests put
  // their own chooser here.
  std::function<QString(const QString& filter)> ChooseFile;

  // --- carrying on with a show cut short (show_resume_offer.cpp)
  // After a scenario is loaded: offers to carry on with its newest show journal when that show was
  // cut short; on "Продолжить", a quick search and the position just after the last cue sent.
  void OfferResume();
  // Shift+F10: the radio modules, the remote control and just the consoles the scenario names, one
  // probe each (F10 keeps the full sweep).
  void QuickSearch();
  // The key handler's part of Shift+F10: true when the key was taken.
  bool QuickSearchKey();
  // The journal a show starting now carries on from: the one it resumes, or the last show's when
  // the position is still where that one stopped; empty for a show of its own.
  std::string ResumedFromForStart() const;
  // Remembers where a show stopped, for a start that carries on from there.
  void NoteShowStopped();
  // The cues a start in autonomous launch leaves out, with those of a resumed burst at the start
  // time that the consoles' memory cannot play (they are before the first run broadcast).
  std::vector<int32_t> CuesLeftOutByAutonomousStart() const;

  // --- chasing timecode (timecode_chasing.cpp)
  // F7 in the launch view: chase mode on or off, when nothing else runs; true when the key was taken.
  bool ChaseKey();
  // Opens and starts the source and hands its chase to the player; false, with the operator told
  // why, when the source cannot be opened or started.
  bool StartChasing(const std::string& sourceText, const timecode::Timecode& offset);
  void StopChasing();
  bool Chasing() const { return Chase != nullptr; }
  bool ShowArmed() const;
  // F5 or StartBtn in chase mode: the show waits for the timecode to reach the show position.
  void ArmChasedShow();
  // Hears the source while no show is armed or runs, so the indicator lives; refreshes it.
  void ChasePumpTimerTimer();
  // The "Таймкод" indicator and the received timecode under the show clock.
  void ShowTimecodeState();
  void PlayerTimecodeEvent(const timecode::ChaseEvent& event);
  void PlayerCueSkipped(int32_t index, const std::string& reason);
  // Opens the source a text names; the program opens sound files and capture devices, tests put
  // their own sources here.
  std::function<std::unique_ptr<timecode::ChaseInput>(const std::string& sourceText, const timecode::Timecode& offset,
                                                      std::string& error)>
      OpenChaseSource;

  // --- writing and verifying the scenario in the consoles (scenario_upload.cpp)
  void SaveBtnClick();
  void CheckBtnClick();
  bool CheckUnconnected();
  bool CheckScenarioTimes();
  bool CheckChannelUse();
  bool CheckScenarioFits();

  // --- left column
  QWidget* RadioGroup = nullptr;               // hidden; nothing shows it, its indicators are kept all the same
  QLabel* RadioCaption = nullptr;              // "Радиоканал"
  std::array<QLabel*, 6> RadioNumberLabels{};  // "240", "244", "245", "249", "250", "254"
  std::array<LedShape*, 15> RadioLeds{};       // R240 .. R254
  QLabel* DevicesCaption = nullptr;            // "Пульты"
  QWidget* DevPanel = nullptr;
  QPushButton* TestBtn = nullptr;
  QPushButton* SearchBtn = nullptr;

  // --- launch view
  QWidget* LaunchPanel = nullptr;
  QLabel* StateCaption = nullptr;        // "Состояние <F1>"
  QLabel* ModeCaption = nullptr;         // "Режим <Shift>+<F1>"
  QLabel* SoundCaption = nullptr;        // "Фонограмма"
  QLabel* DiagnosticsCaption = nullptr;  // "Диагностика"
  LedShape* WaitLed = nullptr;
  LedShape* WorkLed = nullptr;
  LedShape* DirectLed = nullptr;
  LedShape* AutoLed = nullptr;
  LedShape* SoundLoadedLed = nullptr;
  LedShape* SoundPlayLed = nullptr;
  LedShape* SoundReadyLed = nullptr;
  LedShape* RS485 = nullptr;
  LedShape* TimecodeLed = nullptr;  // "Таймкод": off, searching, locked at its rate, lost
  QLabel* SoundLoadedLabel = nullptr;
  QLabel* SoundPlayLabel = nullptr;
  QLabel* SoundReadyLabel = nullptr;
  QLabel* TimeLabel = nullptr;
  QLabel* ReceivedTimecodeLabel = nullptr;  // the last timecode heard; shown in chase mode only
  QWidget* ListHeader = nullptr;
  std::array<QLabel*, 4> ListHeaderLabels{};  // "Время", "Пульт", "Канал", "Комментарии"
  QTableView* List = nullptr;
  CueTableModel* ListModel = nullptr;  // the rows of List, read from Project as they are painted
  QWidget* LaunchButtons = nullptr;
  QPushButton* ProjectBtn = nullptr;
  QPushButton* SoundBtn = nullptr;
  QPushButton* BeginBtn = nullptr;
  QPushButton* StartBtn = nullptr;
  QPushButton* StopBtn = nullptr;
  QPushButton* SaveBtn = nullptr;
  QPushButton* CheckBtn = nullptr;

  // --- test view
  QWidget* TestPanel = nullptr;
  QLabel* CurrentConsoleBar = nullptr;  // "Текущий пульт"
  QWidget* ConsoleInfo = nullptr;
  QLabel* NumberLabel = nullptr;        // "Номер:"
  QLabel* ChannelCountLabel = nullptr;  // "Каналов:"
  QLabel* VersionLabel = nullptr;       // "Версия:"
  QLabel* NumberValue = nullptr;
  QLabel* ChannelCountValue = nullptr;
  QLabel* VersionValue = nullptr;
  QLabel* ChannelTestBar = nullptr;  // "Тестирование каналов"
  ChannelGraph* ChannelsGraph = nullptr;
  QWidget* LegendPanel = nullptr;
  QLabel* LegendCaption = nullptr;  // "Состояние каналов"
  std::array<QLabel*, 4> LegendTexts{};  // "Неизвестно", "Не подключен", "Подключен", "Ошибка"
  QPushButton* DownBtn = nullptr;
  QPushButton* UpBtn = nullptr;
  QPushButton* ControlTestBtn = nullptr;
  QPushButton* TestAllBtn = nullptr;
  QPushButton* TestStopBtn = nullptr;

  // --- actions and timers
  QAction* ExitAction = nullptr;                    // Ctrl+X
  QAction* ColorAction = nullptr;                   // Ctrl+F10
  QAction* ControlAction = nullptr;                 // Shift+F1
  std::unique_ptr<platform::Timer> IdleTimer;       // 500 ms, off until the window is shown
  std::unique_ptr<platform::Timer> ErrFlashTimer;   // 700 ms, always on
  std::unique_ptr<platform::Timer> ChasePumpTimer;  // 25 ms, on in chase mode

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  QWidget* BuildLeftColumn();
  QWidget* BuildRadioGroup();
  QWidget* BuildLaunchPanel();
  QWidget* BuildTestPanel();
  void BuildActionsAndTimers();

  void FormCreate();
  void ReadColorScheme();
  void NameRunLog();
  // Creates the bus engine, the device registry and the scenario list, installs this window's
  // handlers into them and starts the engine on the chosen converter.
  void CreateWorkingObjects();
  void ShowAudioReadiness();
  void InstallHandlers();
  void InstallChaseHandlers();
  // Moves between waiting and ready on F1 or Esc in the launch view.
  void ChangeOperatingMode(uint8_t mode, const char* logLine);
  void InstallKeyRouter();
  void LaunchViewKey(int key, bool& handled);
  void TestViewKey(int key, bool& handled);
  void ShowConsoleRow(int row, const devices::TCommonDevice& device, bool fresh);
  void ShowRadioResult(const devices::TCommonDevice& device);
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  // Polling resumes after a search, a test, a write or a verify unless other work keeps it off.
  void ResumePolling();
  // Rebuilds the device panel if the registry changed while a test, write or verify ran.
  void CatchUpDevPanel();

  // Where a start carries on from: the journal, and the clock and cue the player stood at.
  struct ContinuationPoint {
    std::string Journal;
    int32_t Clock = 0;
    int32_t NextCue = 0;
  };
  std::optional<ContinuationPoint> continuation_;
  // The window was asked to close while a soundtrack was decoding: it closes once the load gave up.
  bool closeAfterSoundLoad_ = false;
  journal::RecordsPlace records_;
  show::MemoryResults lastMemory_;
  // Draws each show's picture off the user-interface thread; the window does not go before the
  // last picture is drawn (the pool waits for it when destroyed).
  QThreadPool pictureThreads_;
  platform::Platform& platform_;
  CommandLineOptions options_;
  StartupEnvironment environment_;
  // The converter the engine talks through when the program entry did not hand one over.
  std::unique_ptr<ConverterSource> ownConverter_;
  // Routes the program's key presses to ApplicationEventsShortCut.
  std::unique_ptr<QObject> keyRouter_;
  // The channel test running now, for the stop key; none outside a test.
  devices::ChannelTestRun* activeTest_ = nullptr;
  // The registry changed while a test, write or verify walked it by position: the panel is rebuilt
  // (and the registry sorted) only once that work is over.
  bool devPanelStale_ = false;
};

// The program's main window while it exists; the other windows reach it through here.
extern TMainForm* MainForm;

}  // namespace fd::app
