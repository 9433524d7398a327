// What the bus delivers unasked: arbitrary bytes arrive on the wire while the engine reads in the
// background; it cuts frames out of them and hands each to the registry and to the show player, as
// the window does. The registry may register consoles, answer peers or probe the bench's devices
// in turn; the player answers state queries and obeys stop broadcasts. Nothing of it may crash or
// leave the registry pointing at freed devices.
//
// The first byte chooses the situation: bit 0 the registry listens for announcements (as during a
// search), bit 1 a show plays while the bytes arrive, bit 2 the player works in autonomous mode,
// bit 3 (with bit 1) a high-voltage console is registered first, so that a stop also reaches it.
// Registering costs as much as everything else, so only a quarter of the inputs pay for it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/audio_device.h"
#include "devices/bench_fixture.h"
#include "show/common_player.h"
#include "show/project_list.h"
#include "support/run_log.h"

namespace {

fd::devices::CueRecord ChannelCue(int32_t timeMs, int32_t console, int32_t channel) {
  fd::devices::CueRecord cue;
  cue.TimeMs = timeMs;
  cue.Console = console;
  cue.Channel = channel;
  cue.CueKind = fd::devices::ChannelCue;
  return cue;
}

constexpr uint32_t kPassIntervalMs = 4;
constexpr size_t kMaxInput = 256;

}  // namespace

// Every player owns a soundtrack, which takes the sound device; one reference held for the whole
// run keeps the device from being opened and closed again for each input. No sound card here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  fd::audio::AcquireDevice();
  // The run log is off, as in the console by default: a fired cue's line for every input would
  // fill the disk and cost more than the input itself.
  fd::support::LogLevel = 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A few dozen frames are enough for the scanner's every state; longer inputs only cost time.
  if (size == 0 || size > kMaxInput) return 0;
  const uint8_t situation = data[0];
  fd::devices::testing::BusBench bench;
  // The engine thread reads the converter every few milliseconds; what arrives meanwhile waits
  // in the converter, so fewer passes see the same bytes in the same order.
  bench.engine.Start(kPassIntervalMs);
  bench.AddConsole(3, 0x151);
  bench.AddConsole(12, 0x268, 'H');
  bench.AddRadio(240);
  bench.AddRemote();
  bench.AddPeer(77);

  fd::show::TProjectList list;
  // The cues fall after most inputs have arrived: firing is not what is searched here, and each
  // cue's exchange would cost as much as the input.
  list.Cues() = {ChannelCue(300, 3, 0), ChannelCue(300, 12, 1), ChannelCue(900, 3, 2), ChannelCue(900, 12, 3)};
  fd::show::TCommonPlayer player(bench.engine.RegistryPlatform(), *bench.port, *bench.controls);
  player.Cues = &list;
  player.LaunchMode = (situation & 4) ? fd::show::lmAutonomous : fd::show::lmDirect;
  bench.port->OnMessage = [&](const fd::bus::Frame6& frame, int converter) {
    bench.controls->HandleFrame(frame, converter);
    player.HandleBusMessage(frame);
  };

  if (situation & 1) bench.controls->SetSearchMode(fd::devices::smRegister);
  if (situation & 2) {
    if (situation & 8) bench.controls->Register(12, 0);  // the player keeps its level queue
    player.Start(0);
  }
  const std::vector<uint8_t> bytes(data + 1, data + size);
  bench.segment.Inject(bytes, bench.Now() * 1000 + 100);
  // Every byte arrives in 0.52 ms; a peer query is answered after a pause of up to 150 ms, which
  // runs inside the handler, so a little more than the bytes' own time sees everything through.
  bench.Advance(size * 600 / 1000 + 20);
  bench.controls->SetSearchMode(fd::devices::smNone);
  bench.port->OnMessage = nullptr;
  return 0;
}
