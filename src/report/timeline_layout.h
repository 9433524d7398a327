#pragma once

// Where everything of a show's timeline picture goes, worked out without drawing anything: one
// lane per console, a mark per cue at its planned time, the stops, timecode dropouts and jumps on
// the time axis, the title and the legend. The picture (timeline_picture.h) paints this; tests and
// the fuzzer can check it without an image. The default size is A4 landscape at 300 dpi.

#include <cstdint>
#include <string>
#include <vector>

#include "report/show_report.h"

namespace fd::report {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// How a cue is marked: by how late it went, or that it did not.
enum class MarkKind { OnTime, Late, VeryLate, Skipped, NotSent, FromMemory };

inline constexpr int64_t kOnTimeMs = 10;  // at most this late: on time
inline constexpr int64_t kLateMs = 50;    // at most this late: late; beyond it very late

inline constexpr Rgb kOnTimeColour{0x1a, 0x98, 0x50};
inline constexpr Rgb kLateColour{0xf0, 0x9a, 0x00};
inline constexpr Rgb kVeryLateColour{0xd7, 0x19, 0x1c};
inline constexpr Rgb kSkippedColour{0x55, 0x55, 0x55};
inline constexpr Rgb kNotSentColour{0x99, 0x99, 0x99};
inline constexpr Rgb kFromMemoryColour{0x2c, 0x7b, 0xb6};
inline constexpr Rgb kStopColour{0x1f, 0x1f, 0x7a};
inline constexpr Rgb kJumpColour{0x88, 0x2d, 0xb0};
inline constexpr Rgb kDropoutColour{0xfd, 0xe3, 0xa7};
inline constexpr Rgb kLaneColours[2] = {{0xff, 0xff, 0xff}, {0xe8, 0xee, 0xf6}};
inline constexpr Rgb kBackgroundColour{0xff, 0xff, 0xff};

Rgb MarkColour(MarkKind kind);
// The mark of a cue: by its status, and for one that went by |show − planned|.
MarkKind MarkKindOf(const ReportCue& cue);

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
};

struct Lane {
  std::string label;  // "console 3", or "other consoles" for the ones past the last lane
  Box area;
};

struct Mark {
  int x = 0;
  int y = 0;
  int lane = 0;
  MarkKind kind = MarkKind::OnTime;
};

struct AxisLine {
  int x = 0;
  std::string label;
};

struct AxisSpan {
  int x0 = 0, x1 = 0;
};

struct LegendEntry {
  Rgb colour;
  MarkKind kind = MarkKind::OnTime;
  bool isMark = true;  // false: a line (stop, jump) or a band (dropout)
  std::string label;
};

struct TimelineLayout {
  int width = 0, height = 0;
  int titlePx = 0, textPx = 0, smallPx = 0;  // font sizes in pixels
  int markRadius = 0;
  std::string title, subtitle;
  Box titleArea, plot, axis, legendArea;
  int labelRight = 0;  // lane labels end here, right-aligned
  int64_t fromMs = 0, toMs = 1;
  std::vector<Lane> lanes;
  std::vector<Mark> marks;
  std::vector<AxisLine> ticks, stops, jumps;
  std::vector<AxisSpan> dropouts;
  std::vector<LegendEntry> legend;
};

inline constexpr int kA4Width = 3508;
inline constexpr int kA4Height = 2480;
// More consoles than this share the last lane.
inline constexpr int kMaxLanes = 48;

TimelineLayout LayOutTimeline(const ShowReport& report, int width = kA4Width, int height = kA4Height);
// The x of a show time on the layout's axis (clamped to the plot).
int TimeToX(const TimelineLayout& layout, int64_t ms);

}  // namespace fd::report
