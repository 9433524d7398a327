#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/bass_files.h"
#include "bus/tport.h"
#include "devices/controls.h"
#include "platform/platform.h"
#include "platform/timer.h"
#include "show/project_list.h"

namespace fd::show {

// Launch modes: the program fires each cue itself, or the consoles play their stored scenario and
// the program keeps them in step with time broadcasts.
inline constexpr uint8_t lmDirect = 0;
inline constexpr uint8_t lmAutonomous = 1;

// Runs the show on the user-interface thread: the show clock, the cues in time order, the
// soundtrack in step, state answers to other operator programs and the stop from the bus.
class TCommonPlayer {
 public:
  TCommonPlayer(platform::Platform& platform, bus::TPort& port, devices::TControls& controls);
  virtual ~TCommonPlayer();
  TCommonPlayer(const TCommonPlayer&) = delete;
  TCommonPlayer& operator=(const TCommonPlayer&) = delete;

  bool Busy = false;
  uint8_t LaunchMode = lmDirect;
  std::unique_ptr<audio::TBassPlayer> Soundtrack;
  std::unique_ptr<platform::Timer> ShowTimer;  // 25 ms
  int32_t StartPosition = 0;
  int32_t Clock = 0;  // show time in ms; set by the window while stopped to choose the next start
  uint32_t StartTick = 0;
  int32_t NextCue = 0;  // first cue not yet handled; set by the window while stopped
  TProjectList* Cues = nullptr;  // not owned; assigned once by the window

  std::function<void(int32_t clockMs)> OnProgress;
  std::function<void()> OnStateChange;
  std::function<void()> OnEmergencyStop;
  std::function<void()> OnIdle;

  virtual void OnTimerTick();
  virtual void BeforeIdle() {}
  virtual bool LoadSoundtrack(const std::string& name);
  virtual void CloseSoundtrack();
  virtual void Start(int32_t fromMs);
  virtual void Stop(bool stopSound);
  virtual void HandleBusMessage(const bus::Frame6& message);
  virtual void FireCue(int32_t console, int32_t channel, bool recordOnly);
  virtual bool IsPlaying() const;
};

}  // namespace fd::show
