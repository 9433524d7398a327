#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "timecode/ltc_decoder.h"
#include "timecode/timecode_frame.h"

namespace fd::platform {
class Clock;
}

namespace fd::timecode {

// Where timecode comes from, as the operator writes it: "capture" (the default capture device),
// "capture:NAME" (a capture device by its name), or the path of a sound file (a file really named
// "capture" is "./capture").
struct SourceSpec {
  enum class Kind { File, Capture };
  Kind kind = Kind::File;
  std::string name;  // the file's path, or the device's name (empty: the default device)
};

// nullopt with the reason for an empty text or "capture:" without a name.
std::optional<SourceSpec> ParseSourceSpec(std::string_view text, std::string& error);
// The spec as the operator wrote it.
std::string SourceSpecText(const SourceSpec& spec);

// Timecode heard from somewhere. Decoding runs on a thread of its own (a file's reader, or the
// sound system's capture thread), never on the caller's; the frames wait in a bounded queue until
// taken. Every member may be called from any thread.
class TimecodeSource {
 public:
  virtual ~TimecodeSource() = default;

  // Starts hearing; false when it cannot (Error() says why).
  virtual bool Start() = 0;
  // Stops hearing; the frames already queued stay to be taken. Safe to call twice.
  virtual void Stop() = 0;

  // The frames decoded since the last call, oldest first.
  std::vector<DecodedFrame> TakeFrames();
  // Returns once frames are queued, the source has finished, or timeoutMs passed (real time).
  void WaitForFrames(int timeoutMs);
  // The peak signal level of the last tenth of a second, dBFS (-120 before any sound).
  float LevelDbfs() const;
  // Why the source stopped on its own or could not start; empty while all is well.
  std::string Error() const;
  // True once a file has been read to its end, or the source failed: no more frames will come.
  bool Finished() const;
  // Frames the queue could not keep because nobody took them in time.
  int64_t FramesDropped() const;
  // Frames decoded and thrown away (a label the rate cannot count, a frame played backwards).
  int64_t FramesRejected() const;

 protected:
  // blockWhenFull: a file read at full speed waits for the taker, so nothing is lost; a live
  // source drops its oldest frames instead, never holding up the sound system's thread.
  explicit TimecodeSource(size_t capacity = 256, bool blockWhenFull = false);

  // Hands decoded frames to the queue; false when the source is being stopped meanwhile.
  bool Deliver(std::vector<DecodedFrame> frames);
  void SetLevel(float dbfs, int64_t rejected);
  void Fail(std::string error);
  void Finish();
  // Wakes a producer waiting for room and tells it to give up.
  void CancelDelivery();
  // Clears what a previous run left behind.
  void ResetState();

 private:
  const size_t capacity_;
  const bool blockWhenFull_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<DecodedFrame> queue_;
  float levelDbfs_ = -120;
  std::string error_;
  bool finished_ = false;
  bool cancelled_ = false;
  int64_t dropped_ = 0;
  int64_t rejected_ = 0;
};

struct SourceOptions {
  // The clock of the show: heard times of a file read in real time and of a capture device are on
  // its millisecond scale (its ticks, not wrapped: a long run may pass 2^32). Needed by both.
  platform::Clock* clock = nullptr;
  // A file read as fast as it decodes, heard times in milliseconds from its start.
  bool fullSpeed = false;
  // The channel carrying the timecode (0-based), or every channel mixed.
  int channel = kMixChannels;
  size_t queueFrames = 256;
};

// The source a spec names, ready to start; nullptr with the reason when it cannot be opened: a file
// not found or not a sound file, a capture device that is not there (the ones that are, listed).
std::unique_ptr<TimecodeSource> OpenTimecodeSource(const SourceSpec& spec, const SourceOptions& options,
                                                   std::string& error);

}  // namespace fd::timecode
