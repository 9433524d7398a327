#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "bus/tport.h"
#include "devices/common_device.h"
#include "devices/cue_record.h"
#include "devices/soft_control.h"
#include "platform/platform.h"
#include "platform/timer.h"

namespace fd::devices {

// Search modes, a small set: smRegister lets answers create or refresh entries, smSweep runs the
// address sweep. SetSearchMode(smRegister | smSweep) starts a search, SetSearchMode(smNone) ends it.
using TSearchMode = uint8_t;
inline constexpr TSearchMode smNone = 0;
inline constexpr TSearchMode smRegister = 1;
inline constexpr TSearchMode smSweep = 2;

// The registry of every device known on the bus. It owns the device objects, sweeps the bus
// addresses while a search is on, registers consoles and other operator programs that announce
// themselves, and answers other programs' queries. All of it runs on the user-interface thread.
//
// Removing an entry takes it out of the list at once. The object itself is freed only when no
// registry operation is running and nobody holds the registry (Hold), so a handler of OnChange,
// or a caller that lets pending events run while it works with a device, never touches a freed
// object.
class TControls {
 public:
  TControls(bus::TPort& port, platform::Platform& platform);
  ~TControls();
  TControls(const TControls&) = delete;
  TControls& operator=(const TControls&) = delete;

  // Finds or creates the device for an address that answered; identifies, polls, raises OnChange.
  // Returns the device, or none when the address gets no device (or it left the list meanwhile).
  TCommonDevice* Register(int id, int converter);
  TCommonDevice* FindByID(int id) const;
  TSoftControl* FindSoft(int peerNumber) const;
  TSoftControl* RegisterSoft(int peerNumber, int converter);
  int SoftCount() const;
  TSoftControl* SoftByOrdinal(int n) const;  // none outside 0..SoftCount()-1
  int ConsoleCount() const;
  int FirstConsole() const;  // list index, -1 if none
  int LastConsole() const;   // list index, -1 if none
  int Count() const { return static_cast<int>(list_.size()); }
  TCommonDevice* Items(int index) const;  // none outside 0..Count()-1
  // Stable ascending sort by ID; peers (all 255) keep their order.
  void SortByID();

  void SetSearchMode(TSearchMode mode);
  TSearchMode SearchMode() const { return searchMode_; }
  int ScanAddress() const { return scanAddress_; }
  platform::Timer& ScanTimer() { return *scanTimer_; }
  // One step of the sweep (the ScanTimer's handler).
  void ScanTick();
  // Probes one address as the sweep does: an answer registers the device, silence removes an
  // entry already listed there. True when the address answered.
  bool ProbeAddress(int address);
  // Registers just what a scenario needs instead of sweeping all 256 addresses: the radio
  // modules, the remote control and the listed consoles (addresses outside 1..199 and repeats
  // are passed over), each probed once, in that order. Returns how many answered. A stop that
  // holds ends it between two probes.
  int SearchListed(const std::vector<int>& consoles, const std::function<bool()>& stop = nullptr);

  // A frame that the bus engine delivered unsolicited, with the converter it came from.
  void HandleFrame(const bus::Frame6& frame, int converter);

  // Scenario write and verify into the consoles' memory (scenario_memory.cpp).
  int WriteScenario(std::vector<CueRecord>& list);
  int VerifyScenario(std::vector<CueRecord>& list);
  // Set by a write or verify that refused the scenario before sending anything because a
  // console's records cannot hold one of its cues: the file line of the first such cue. Empty
  // after any other run.
  std::optional<int> ScenarioFaultLine;
  std::string ScenarioFaultCause;  // why that cue does not fit, for the operator

  std::function<void(int id)> OnChange;
  std::function<void(int percent, int address)> OnSearchProgress;
  std::function<void(int percent, int deviceIndex, int consoleId, int channel, bool& cancel)> OnMemoryProgress;

  // While a Hold lives, removed devices stay allocated (out of the list). Take one around work
  // that keeps device pointers across pending events or handlers.
  class Hold {
   public:
    explicit Hold(TControls& owner) : owner_(owner) { ++owner_.holds_; }
    ~Hold() { owner_.Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    TControls& owner_;
  };

  // The seed of the random pause before a peer answer (tests make it repeatable).
  void SeedRandom(uint32_t seed) { random_.seed(seed); }

 private:
  bool Listed(const TCommonDevice* device) const;
  int IndexOf(const TCommonDevice* device) const;
  void Append(std::unique_ptr<TCommonDevice> device);
  void RemoveAt(int index);
  void DropStalePeers();
  void Release();
  void Wait(uint32_t ms);

  bus::TPort& port_;
  platform::Platform& platform_;
  std::vector<std::unique_ptr<TCommonDevice>> list_;
  // Removed devices waiting until nobody can hold a pointer to them.
  std::vector<std::unique_ptr<TCommonDevice>> retired_;
  int holds_ = 0;
  TSearchMode searchMode_ = smNone;
  std::unique_ptr<platform::Timer> scanTimer_;
  int scanAddress_ = 0;
  uint32_t searchGeneration_ = 0;
  bool inScanTick_ = false;
  std::minstd_rand random_;
  // Peer answers waiting out their random pause: when each is due and whom it answers. A timer
  // sends them, so that the pause never holds the thread that fires the show.
  struct PeerAnswerDue {
    uint32_t dueTick;
    int asker;
  };
  std::vector<PeerAnswerDue> peerAnswers_;
  std::unique_ptr<platform::Timer> peerAnswerTimer_;
  void SendDuePeerAnswers();
  void ArmPeerAnswerTimer();
};

}  // namespace fd::devices
