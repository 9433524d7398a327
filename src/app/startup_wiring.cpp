// The middle of start-up: the bus engine, the registry, the scenario list and the show player are
// created, the window's handlers go into them, and the engine starts on the chosen converter.
#include "app/color_scheme.h"
#include "app/main_form.h"
#include "app/widget_paint.h"
#include "audio/bass_files.h"
#include "bus/usb_port.h"
#include "support/run_log.h"

namespace fd::app {

namespace {
constexpr uint64_t kListRowBytes = 16;
}  // namespace

void TMainForm::CreateWorkingObjects() {
  ConverterSource* converter = environment_.Converter;
  if (converter == nullptr) {
    std::string error;
    ownConverter_ = ConverterSource::Make(options_.Converter, platform_.GetClock(), error);
    if (!ownConverter_) {
      // A bench file that cannot be loaded: say so and look for real converters instead.
      platform_.ShowMessage(error, "Ошибка");
      ownConverter_ = ConverterSource::Make(ConverterChoice{}, platform_.GetClock(), error);
    }
    converter = ownConverter_.get();
  }

  // The bus engine with a converter limit of 1 (its thread starts with Open), then the registry.
  Port = std::make_unique<bus::TPortProto>(
      platform_, std::make_unique<bus::TUSBPort>(converter->Driver(), platform_.GetClock(), 1));
  Controls = std::make_unique<devices::TControls>(*Port, platform_);

  // Creating the player opens the audio device, so the audio indicator can tell after it.
  Project = std::make_unique<show::TProjectList>(platform_);
  // The cue list keeps a few bytes per row (its row in the table's row header) and makes the texts
  // only for the rows it paints.
  Project->SetExtraMemoryPerCue(kListRowBytes);
  AttachCueList();
  Player = std::make_unique<show::TCommonPlayer>(platform_, *Port, *Controls);
  Player->Cues = Project.get();
  Player->OnProgress = [this](int32_t ms) { PlayerProgress(ms); };
  Player->OnStateChange = [this] { PlayerStateChanged(); };
  Player->OnEmergencyStop = [this] { PlayerEmergencyStop(); };
  // A long soundtrack decodes on a thread of its own; the window keeps repainting meanwhile, and a
  // request to close gives the load up.
  if (Player->Soundtrack)
    Player->Soundtrack->WhileDecoding = [this] {
      platform_.ProcessPendingEvents();
      return !closeAfterSoundLoad_;
    };
  Player->OnConnectionStop = [this] { PlayerConnectionStop(); };
  Player->OnIdle = [this] { PlayerIdle(); };

  ShowAudioReadiness();
  InstallHandlers();

  // A missing converter is no error here: the engine reports the lost link from its thread.
  Port->Open();
}

void TMainForm::ShowAudioReadiness() {
  // Painted once, in the start-up colours; the scheme that follows leaves this indicator alone.
  if (audio::AudioReady()) {
    SoundReadyLed->SetFill(ColorOn);
    SoundReadyLed->SetLabelColor(ColorOnText);
    support::WriteLog("Инициализация аудиоустройства - успешно", 1);
  } else {
    SoundReadyLed->SetFill(ColorAlarm);
    SoundReadyLed->SetLabelColor(ColorOffText);
    support::WriteLog("Инициализация аудиоустройства - ошибка", 1);
  }
}

void TMainForm::InstallHandlers() {
  Controls->OnChange = [this](int id) { ControlsChanged(id); };
  Port->OnMessage = [this](const bus::Frame6& frame, int converterIndex) { PortDeviceEvent(frame, converterIndex); };
  Port->OnConnectionLost = [this] { PortLinkLost(); };
  Port->OnConnectionRestored = [this] { PortLinkRestored(); };
  InstallChaseHandlers();
}

void TMainForm::PortDeviceEvent(const bus::Frame6& frame, int converter) {
  Controls->HandleFrame(frame, converter);
  Player->HandleBusMessage(frame);
}

}  // namespace fd::app
