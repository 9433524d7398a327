#include "timecode/timecode_frame.h"

#include <cstdio>

namespace fd::timecode {

namespace {

constexpr int64_t kDropFramesPerMinute = 2;
// At 29.97 drop-frame: 17982 labels every ten minutes, 1798 in each minute but the tenth.
constexpr int64_t kDropFramesPerTenMinutes = 10 * 60 * 30 - 9 * kDropFramesPerMinute;
constexpr int64_t kDropFramesPerDroppedMinute = 60 * 30 - kDropFramesPerMinute;

}  // namespace

const char* FrameRateText(FrameRate rate) {
  switch (rate) {
    case FrameRate::Fps24:
      return "24";
    case FrameRate::Fps25:
      return "25";
    case FrameRate::Fps2997Drop:
      return "29.97df";
    case FrameRate::Fps30:
      return "30";
    case FrameRate::Unknown:
      break;
  }
  return "?";
}

int NominalFrames(FrameRate rate) {
  switch (rate) {
    case FrameRate::Fps24:
      return 24;
    case FrameRate::Fps25:
      return 25;
    case FrameRate::Fps2997Drop:
    case FrameRate::Fps30:
      return 30;
    case FrameRate::Unknown:
      break;
  }
  return 0;
}

double FrameDurationMs(FrameRate rate) {
  if (rate == FrameRate::Fps2997Drop) return 1001.0 / 30.0;
  const int frames = NominalFrames(rate);
  return frames == 0 ? 0 : 1000.0 / frames;
}

bool IsValidLabel(const Timecode& label, FrameRate rate) {
  const int frames = NominalFrames(rate);
  if (frames == 0) return false;
  if (label.hours < 0 || label.hours > 23 || label.minutes < 0 || label.minutes > 59 || label.seconds < 0 ||
      label.seconds > 59 || label.frames < 0 || label.frames >= frames)
    return false;
  return !(rate == FrameRate::Fps2997Drop && label.seconds == 0 && label.frames < kDropFramesPerMinute &&
           label.minutes % 10 != 0);
}

int64_t FrameNumber(const Timecode& label, FrameRate rate) {
  const int64_t frames = NominalFrames(rate);
  const int64_t totalMinutes = int64_t{label.hours} * 60 + label.minutes;
  int64_t number = (totalMinutes * 60 + label.seconds) * frames + label.frames;
  if (rate == FrameRate::Fps2997Drop) number -= kDropFramesPerMinute * (totalMinutes - totalMinutes / 10);
  return number;
}

Timecode LabelOfFrame(int64_t frame, FrameRate rate) {
  const int64_t frames = NominalFrames(rate);
  if (frames == 0) return {};
  int64_t perDay = 24 * 3600 * frames;
  if (rate == FrameRate::Fps2997Drop) perDay = 24 * 6 * kDropFramesPerTenMinutes;
  frame %= perDay;
  if (frame < 0) frame += perDay;
  if (rate == FrameRate::Fps2997Drop) {
    // Put the dropped labels back, then count as at 30.
    const int64_t tens = frame / kDropFramesPerTenMinutes;
    const int64_t rest = frame % kDropFramesPerTenMinutes;
    frame += 18 * tens;
    if (rest > kDropFramesPerMinute)
      frame += kDropFramesPerMinute * ((rest - kDropFramesPerMinute) / kDropFramesPerDroppedMinute);
  }
  Timecode label;
  label.frames = static_cast<int>(frame % frames);
  const int64_t seconds = frame / frames;
  label.seconds = static_cast<int>(seconds % 60);
  label.minutes = static_cast<int>(seconds / 60 % 60);
  label.hours = static_cast<int>(seconds / 3600 % 24);
  return label;
}

double TimecodeMs(const Timecode& label, FrameRate rate) {
  return static_cast<double>(FrameNumber(label, rate)) * FrameDurationMs(rate);
}

std::optional<Timecode> ParseTimecode(std::string_view text) {
  if (text.size() != 11 || text[2] != ':' || text[5] != ':' || (text[8] != ':' && text[8] != ';')) return std::nullopt;
  int fields[4];
  for (int i = 0; i < 4; ++i) {
    const char high = text[i * 3];
    const char low = text[i * 3 + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
    fields[i] = (high - '0') * 10 + (low - '0');
  }
  const Timecode label{fields[0], fields[1], fields[2], fields[3]};
  if (label.hours > 23 || label.minutes > 59 || label.seconds > 59 || label.frames > 29) return std::nullopt;
  return label;
}

std::string TimecodeText(const Timecode& label, FrameRate rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", label.hours, label.minutes, label.seconds,
                rate == FrameRate::Fps2997Drop ? ';' : ':', label.frames);
  return text;
}

}  // namespace fd::timecode
