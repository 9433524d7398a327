// Frames per second of the engine's scanner over a stream of frames mixed with line noise, and
// bytes per second over noise alone (the worst case: a CRC at every position).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bus/tport.h"
#include "bus/tport_scanner.h"

namespace {

using fd::bus::Frame6;

struct Stream {
  std::vector<uint8_t> bytes;
  int frames = 0;
};

// About `size` bytes: frames with noiseBytes random bytes before each (noise may hold a chance
// frame now and then, as a real line does).
Stream MakeStream(size_t size, int noiseBytes, uint32_t seed) {
  std::mt19937 random(seed);
  Stream s;
  while (s.bytes.size() + noiseBytes + 7 <= size) {
    for (int i = 0; i < noiseBytes; ++i) s.bytes.push_back(static_cast<uint8_t>(random()));
    const Frame6 f{0x70, static_cast<uint8_t>(random()),          static_cast<uint8_t>(random()), 0,
                   0,    static_cast<uint8_t>(1 + random() % 199)};
    const auto wire = fd::bus::MakeBusFrame(f);
    s.bytes.insert(s.bytes.end(), wire.begin(), wire.end());
    ++s.frames;
  }
  return s;
}

void CutWholeBuffer(benchmark::State& state, const Stream& stream) {
  std::vector<uint8_t> buffer(fd::bus::TPort::kRxBufferSize);
  std::vector<int32_t> converters(fd::bus::TPort::kRxBufferSize, 0);
  std::vector<Frame6> messages(fd::bus::TPort::kMaxMessages);
  std::vector<int> messageConverters(fd::bus::TPort::kMaxMessages);
  int64_t frames = 0;
  for (auto _ : state) {
    std::copy(stream.bytes.begin(), stream.bytes.end(), buffer.begin());
    int count = static_cast<int>(stream.bytes.size());
    // Pass after pass, as the engine loop does, until the buffer holds no more frames.
    for (;;) {
      const int n = fd::bus::CutFrames(buffer.data(), converters.data(), count, messages.data(),
                                       messageConverters.data(), fd::bus::TPort::kMaxMessages);
      frames += n;
      if (n < fd::bus::TPort::kMaxMessages) break;
    }
    benchmark::DoNotOptimize(messages.data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.bytes.size()));
}

void BM_ScannerFramesInNoise(benchmark::State& state) {
  const Stream stream = MakeStream(fd::bus::TPort::kRxBufferSize, static_cast<int>(state.range(0)), 42);
  CutWholeBuffer(state, stream);
}
BENCHMARK(BM_ScannerFramesInNoise)->Arg(0)->Arg(3)->Arg(7)->Arg(30);

void BM_ScannerNoiseOnly(benchmark::State& state) {
  std::mt19937 random(9);
  Stream stream;
  stream.bytes.resize(fd::bus::TPort::kRxBufferSize);
  for (auto& b : stream.bytes) b = static_cast<uint8_t>(random());
  CutWholeBuffer(state, stream);
}
BENCHMARK(BM_ScannerNoiseOnly);

// One frame arriving per pass, the everyday case at 19200 baud.
void BM_ScannerOneFramePerPass(benchmark::State& state) {
  const Stream stream = MakeStream(7, 0, 3);
  CutWholeBuffer(state, stream);
}
BENCHMARK(BM_ScannerOneFramePerPass);

}  // namespace

BENCHMARK_MAIN();
