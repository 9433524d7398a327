// What the bus delivers unasked: arbitrary bytes arrive on the wire while the engine reads in the
// background; it cuts frames out of them and hands each to the registry, which may register
// consoles, answer peers or probe the bench's devices in turn. Nothing of it may crash or leave
// the registry pointing at freed devices.
#include <cstdint>
#include <vector>

#include "devices/bench_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  fd::devices::testing::BusBench bench;
  bench.AddConsole(3, 0x151);
  bench.AddConsole(12, 0x268, 'H');
  bench.AddRadio(240);
  bench.AddRemote();
  bench.AddPeer(77);
  // The first byte chooses whether the registry listens for announcements, as during a search.
  if (size > 0 && (data[0] & 1)) bench.controls->SetSearchMode(fd::devices::smRegister);
  const std::vector<uint8_t> bytes(data, data + size);
  const uint64_t startUs = bench.Now() * 1000 + 100;
  bench.segment.Inject(bytes, startUs);
  // Long enough for every byte to arrive (0.52 ms each) and for what it sets off to finish.
  bench.Advance(size * 600 / 1000 + 300);
  bench.controls->SetSearchMode(fd::devices::smNone);
  return 0;
}
