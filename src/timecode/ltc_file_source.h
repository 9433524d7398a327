#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "timecode/ltc_source.h"

namespace fd::audio {
class DecodedStream;
}

namespace fd::timecode {

// Timecode from a sound file, decoded by the soundtrack's decoder: read at real-time pace as a tape
// rolled on cue (Start is the moment it rolls, heard times on the clock given), or at full speed
// for a summary (heard times in milliseconds from the file's start).
class LtcFileSource : public TimecodeSource {
 public:
  // nullptr with the reason when the file is not there, not a regular file or not a sound file,
  // when the channel asked for is not in it, or a real-time read has no clock.
  static std::unique_ptr<LtcFileSource> Open(const std::string& path, const SourceOptions& options, std::string& error);
  ~LtcFileSource() override;

  bool Start() override;
  void Stop() override;

  double DurationSeconds() const;
  uint32_t SampleRate() const;
  int Channels() const;

  LtcFileSource(std::unique_ptr<audio::DecodedStream> stream, const SourceOptions& options);

 private:
  void Run(double anchorMs, uint32_t startTick);
  // Waits until the clock has reached `elapsedMs` after startTick; false when stopped meanwhile.
  bool WaitUntil(uint32_t startTick, double elapsedMs);

  std::unique_ptr<audio::DecodedStream> stream_;
  SourceOptions options_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace fd::timecode
