#include "timecode/ltc_source.h"

#include <chrono>
#include <utility>

#include "timecode/ltc_capture_source.h"
#include "timecode/ltc_file_source.h"

namespace fd::timecode {

namespace {
constexpr std::string_view kCapture = "capture";
}  // namespace

std::optional<SourceSpec> ParseSourceSpec(std::string_view text, std::string& error) {
  if (text.empty()) {
    error = "no timecode source given (a sound file, capture or capture:NAME)";
    return std::nullopt;
  }
  if (text == kCapture) return SourceSpec{SourceSpec::Kind::Capture, {}};
  if (text.substr(0, kCapture.size() + 1) == "capture:") {
    std::string name(text.substr(kCapture.size() + 1));
    if (name.empty()) {
      error = "capture: needs a device name (capture alone is the default device)";
      return std::nullopt;
    }
    return SourceSpec{SourceSpec::Kind::Capture, std::move(name)};
  }
  return SourceSpec{SourceSpec::Kind::File, std::string(text)};
}

std::string SourceSpecText(const SourceSpec& spec) {
  if (spec.kind == SourceSpec::Kind::File) return spec.name;
  return spec.name.empty() ? std::string(kCapture) : std::string(kCapture) + ":" + spec.name;
}

TimecodeSource::TimecodeSource(size_t capacity, bool blockWhenFull)
    : capacity_(capacity == 0 ? 1 : capacity), blockWhenFull_(blockWhenFull) {}

std::vector<DecodedFrame> TimecodeSource::TakeFrames() {
  std::vector<DecodedFrame> taken;
  {
    std::lock_guard lock(mutex_);
    taken.assign(queue_.begin(), queue_.end());
    queue_.clear();
  }
  changed_.notify_all();
  return taken;
}

void TimecodeSource::WaitForFrames(int timeoutMs) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !queue_.empty() || finished_; });
}

float TimecodeSource::LevelDbfs() const {
  std::lock_guard lock(mutex_);
  return levelDbfs_;
}

std::string TimecodeSource::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool TimecodeSource::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

int64_t TimecodeSource::FramesDropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

int64_t TimecodeSource::FramesRejected() const {
  std::lock_guard lock(mutex_);
  return rejected_;
}

bool TimecodeSource::Deliver(std::vector<DecodedFrame> frames) {
  std::unique_lock lock(mutex_);
  for (const DecodedFrame& frame : frames) {
    if (blockWhenFull_) {
      changed_.wait(lock, [this] { return queue_.size() < capacity_ || cancelled_; });
      if (cancelled_) return false;
    } else if (queue_.size() >= capacity_) {
      queue_.pop_front();
      ++dropped_;
    }
    queue_.push_back(frame);
  }
  lock.unlock();
  if (!frames.empty()) changed_.notify_all();
  return true;
}

void TimecodeSource::SetLevel(float dbfs, int64_t rejected) {
  std::lock_guard lock(mutex_);
  levelDbfs_ = dbfs;
  rejected_ = rejected;
}

void TimecodeSource::Fail(std::string error) {
  {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
    finished_ = true;
  }
  changed_.notify_all();
}

void TimecodeSource::Finish() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

void TimecodeSource::CancelDelivery() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  changed_.notify_all();
}

void TimecodeSource::ResetState() {
  std::lock_guard lock(mutex_);
  error_.clear();
  finished_ = false;
  cancelled_ = false;
  levelDbfs_ = -120;
}

std::unique_ptr<TimecodeSource> OpenTimecodeSource(const SourceSpec& spec, const SourceOptions& options,
                                                   std::string& error) {
  if (spec.kind == SourceSpec::Kind::File) return LtcFileSource::Open(spec.name, options, error);
  return LtcCaptureSource::Open(spec.name, options, error);
}

}  // namespace fd::timecode
