#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fd::audio {

// The soundtrack: an audio file decoded to PCM (16-bit, or 8-bit when the source is 8-bit; the
// file's own rate and channel count), and a player of such a file on the audio device.
//
// Process-wide: the first object created opens the audio device and decides AudioReady; the last
// one destroyed closes the device again. A device that cannot be opened is not retried by later
// objects; files still load (and then play nowhere).
bool AudioReady();
int InstanceCount();

// An audio file read as a stream of decoded bytes.
class TFileAbstract {
 public:
  virtual ~TFileAbstract() = default;

  std::string FileName;

  virtual void SetFileName(const std::string& name) { FileName = name; }
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual int32_t Size() const = 0;  // decoded length in bytes
  virtual int32_t Position() = 0;    // decoded bytes from the start
  virtual bool Eof() { return Position() >= Size(); }
  virtual int Seek(int32_t bytes) = 0;                        // 0 when the position was taken
  virtual int32_t ReadData(void* buffer, int32_t count) = 0;  // decoded bytes read
  virtual uint8_t ReadByte() = 0;
};

// Laid out like the standard wave format header; the format tag is never set.
struct WaveFormat {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;  // bytes per sample frame
  uint16_t BitsPerSample = 0;
};

class DecodedStream;  // the decoder behind a file (FFmpeg)
class Voice;          // a file on the output device

// A decoding stream over one file: WAV, MP3, WMA and whatever else the decoder knows.
class TBassFile : public TFileAbstract {
 public:
  TBassFile();
  ~TBassFile() override;
  TBassFile(const TBassFile&) = delete;
  TBassFile& operator=(const TBassFile&) = delete;

  WaveFormat Format;
  int32_t Duration = 0;  // milliseconds

  // Opens FileName, releasing the stream open before; on failure Loaded() stays false and Format,
  // Size and Duration keep their values. The whole file is decoded here (see DecodedStream): with
  // WhileDecoding set, on a thread of its own, while the calling thread runs WhileDecoding every
  // few milliseconds (a window keeps repainting and hearing its keys). WhileDecoding returning
  // false gives the file up: Open returns at once, not loaded, and the decoding ends unseen.
  void Open() override;
  std::function<bool()> WhileDecoding;
  void Close() override;
  bool Loaded() const { return loaded_; }

  int32_t Size() const override { return size_; }
  // Without a loaded stream: Position, Seek and ReadData give -1, ReadByte 0.
  int32_t Position() override;
  // A position between two sample frames goes down to the frame it falls in; one outside
  // [0, Size] is refused (-1) and the position kept.
  int Seek(int32_t bytes) override;
  int32_t ReadData(void* buffer, int32_t count) override;  // 0 at the end, -1 for a bad request
  uint8_t ReadByte() override;                             // 0 at the end

  // Why the last Open failed, in the words of the run log ("не обычный файл", "слишком длинная
  // (5 ч 0 мин, наибольшая 3 ч)"); empty after a success.
  const std::string& OpenError() const { return openError_; }
  // Whether the last Open was given up by WhileDecoding.
  bool GaveUp() const { return gaveUp_; }

 protected:
  std::unique_ptr<DecodedStream> stream_;
  int32_t size_ = 0;
  bool loaded_ = false;
  std::string openError_;
  bool gaveUp_ = false;
};

// The soundtrack as the show plays it: the same stream, sent to the audio device. Its Position is
// where the output has taken the sound up to, at most one device buffer (about 23 ms) ahead of
// what is heard.
class TBassPlayer : public TBassFile {
 public:
  TBassPlayer();
  ~TBassPlayer() override;

  // Fails (Loaded() false) when the device is open but cannot play this file's format. Without a
  // device the file still loads and plays nowhere: IsPlaying stays false.
  void Open() override;
  void Close() override;
  // Starts playing at the byte that Ms stands for (rounded to the nearest byte, ties to even): the
  // first sample heard is the one at that byte. A position beyond the end plays nothing. A time
  // before the start plays that much silence first, so the soundtrack keeps in step with the clock.
  void PlayFrom(int32_t ms);
  void Stop();
  bool IsPlaying();

  // The sound card plays on a crystal of its own, typically 50 to 200 ppm off the PC's clock: a
  // quarter of a second after twenty minutes. Told again and again where the show clock stands,
  // the soundtrack measures where its sound is heard (what the device has played, less what it
  // still holds queued) and plays a fraction of a percent faster or slower to stay within a few
  // milliseconds of the clock; never by a jump. A file on a clock that agrees plays untouched.
  void FollowShowClock(int32_t showMs);
  // On by default. Off (the soundtrack's own speed at once) while the show clock follows another
  // source that the sound does not belong to.
  void SetFollowsShowClock(bool on);
  bool FollowsShowClock() const { return followsShowClock_; }
  // The sound heard minus the show clock at the latest measurement, ms; 0 before one.
  double ClockDistanceMs();
  // The current change of speed: out frames per file frame minus one (above zero is slower).
  double SpeedStretch();

 private:
  std::unique_ptr<Voice> voice_;
  bool followsShowClock_ = true;
};

}  // namespace fd::audio
