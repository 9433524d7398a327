#include "report/timeline_layout.h"

#include <algorithm>
#include <map>
#include <set>

namespace fd::report {

namespace {

// Texts from the journal are cut to what fits a line of the picture.
std::string Cut(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  // Not in the middle of a UTF-8 sequence.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A tick every so often, so that about ten fit the axis.
int64_t TickStep(int64_t spanMs) {
  static const int64_t kSteps[] = {100,     200,     500,     1000,     2000,     5000,    10000,
                                   15000,   30000,   60000,   120000,   300000,   600000,  900000,
                                   1800000, 3600000, 7200000, 14400000, 28800000, 86400000};
  for (int64_t step : kSteps)
    if (spanMs / step <= 12) return step;
  return (spanMs / 12 / 86400000 + 1) * 86400000;
}

std::string TickText(int64_t ms, int64_t step, bool hours) {
  std::string text = ShowTimeText(ms);
  // Whole seconds need no milliseconds; the hour goes when the show is shorter than one.
  if (step % 1000 == 0) text.resize(text.size() - 4);
  if (!hours) {
    const size_t sign = text[0] == '-' ? 1 : 0;
    text.erase(sign, text.find(':') + 1 - sign);
  }
  return text;
}

int64_t FloorTo(int64_t value, int64_t step) {
  return value >= 0 ? value / step * step : -((-value + step - 1) / step) * step;
}

}  // namespace

Rgb MarkColour(MarkKind kind) {
  switch (kind) {
    case MarkKind::OnTime:
      return kOnTimeColour;
    case MarkKind::Late:
      return kLateColour;
    case MarkKind::VeryLate:
      return kVeryLateColour;
    case MarkKind::Skipped:
      return kSkippedColour;
    case MarkKind::NotSent:
      return kNotSentColour;
    case MarkKind::FromMemory:
      return kFromMemoryColour;
  }
  return kOnTimeColour;
}

MarkKind MarkKindOf(const ReportCue& cue) {
  switch (cue.status) {
    case CueStatus::Skipped:
      return MarkKind::Skipped;
    case CueStatus::NotSent:
      return MarkKind::NotSent;
    case CueStatus::FromMemory:
      return MarkKind::FromMemory;
    case CueStatus::Sent:
    case CueStatus::Followed:
      break;
  }
  const int64_t late = cue.LatenessMs().value_or(0);
  // Early is as wrong as late.
  const int64_t off = late < 0 ? -late : late;
  return off <= kOnTimeMs ? MarkKind::OnTime : off <= kLateMs ? MarkKind::Late : MarkKind::VeryLate;
}

int TimeToX(const TimelineLayout& layout, int64_t ms) {
  const int64_t span = std::max<int64_t>(1, layout.toMs - layout.fromMs);
  const int64_t clamped = std::clamp(ms, layout.fromMs, layout.toMs);
  // Exact in 64 bits: a span of years in milliseconds times a few thousand pixels.
  return layout.plot.x + static_cast<int>((clamped - layout.fromMs) * layout.plot.w / span);
}

TimelineLayout LayOutTimeline(const ShowReport& report, int width, int height) {
  TimelineLayout l;
  width = std::clamp(width, 400, 20000);
  height = std::clamp(height, 300, 20000);
  l.width = width;
  l.height = height;
  // Sizes scale with the picture: at A4 and 300 dpi a 40-pixel text is about 10 points.
  const int unit = std::max(8, std::min(width, height * kA4Width / kA4Height) / 88);
  l.textPx = unit;
  l.titlePx = unit * 3 / 2;
  l.smallPx = std::max(1, unit * 4 / 5);
  l.markRadius = std::max(3, unit / 2);
  const int margin = unit * 3;

  const journal::JournalHeader& h = report.header;
  const std::string scenario = h.scenarioPath.empty() ? std::string("no scenario") : FileNameOf(h.scenarioPath);
  std::string date = report.headerWall;
  if (date.size() >= 19) date = date.substr(0, 10) + " " + date.substr(11, 8) + " UTC";
  l.title = Cut("Show " + scenario + (date.empty() ? std::string() : ", " + date), 160);
  const ReportSummary& s = report.summary;
  std::string subtitle = (h.launchMode.empty() ? std::string("unknown") : h.launchMode) + " launch from " +
                         ShowTimeText(h.startMs) + "; " + std::to_string(s.sent + s.followed) + " cue(s) went, " +
                         std::to_string(s.skipped) + " skipped, " + std::to_string(s.notSent) + " not sent";
  if (s.latenessCount > 0)
    subtitle += "; lateness p50 " + std::to_string(s.latenessP50) + " ms, p99 " + std::to_string(s.latenessP99) +
                " ms, max " + std::to_string(s.latenessMax) + " ms";
  subtitle += "; " + s.ended;
  if (!report.warnings.empty()) subtitle += "; " + report.warnings.front();
  l.subtitle = Cut(subtitle, 400);

  l.titleArea = {margin, margin, width - 2 * margin, unit * 4};
  const int labelWidth = unit * 9;
  const int legendHeight = unit * 2;
  const int axisHeight = unit * 4;
  l.legendArea = {margin, height - margin - legendHeight, width - 2 * margin, legendHeight};
  l.plot.x = margin + labelWidth;
  l.plot.y = l.titleArea.Bottom() + unit;
  l.plot.w = width - margin - l.plot.x;
  l.plot.h = std::max(unit, l.legendArea.y - unit - axisHeight - l.plot.y);
  l.axis = {l.plot.x, l.plot.Bottom(), l.plot.w, axisHeight};
  l.labelRight = l.plot.x - unit / 2;

  // The time axis: every cue, stop and timecode event, with a little room either side.
  int64_t first = h.startMs, last = h.startMs;
  auto take = [&](int64_t ms) {
    first = std::min(first, ms);
    last = std::max(last, ms);
  };
  for (const ReportCue& cue : report.cues) {
    take(cue.plannedMs);
    if (cue.showMs) take(*cue.showMs);
  }
  for (const ReportStop& stop : report.stops) take(stop.showMs);
  for (const TimecodeMark& mark : report.timecode) take(mark.showMs);
  take(report.endMs);
  const int64_t room = std::max<int64_t>(500, (last - first) / 40);
  // A show that starts at 0 has no time before it to show.
  l.fromMs = first >= 0 ? std::max<int64_t>(0, first - room) : first - room;
  l.toMs = last + room;

  const int64_t step = TickStep(l.toMs - l.fromMs);
  for (int64_t t = FloorTo(l.fromMs, step); t <= l.toMs && l.ticks.size() < 64; t += step)
    if (t >= l.fromMs) l.ticks.push_back({TimeToX(l, t), TickText(t, step, l.toMs >= 3600000 || l.fromMs <= -3600000)});

  // One lane per console: those the cues name and those registered when the show began.
  std::set<int32_t> consoles;
  for (const ReportCue& cue : report.cues) consoles.insert(cue.console);
  // The firing consoles registered: radio modules and the remote control get no lane.
  for (const journal::ConsoleState& c : h.consoles)
    if (c.id >= 1 && c.id <= 199) consoles.insert(c.id);
  std::map<int32_t, int> laneOf;
  for (int32_t id : consoles) {
    if (static_cast<int>(l.lanes.size()) < kMaxLanes - 1 || consoles.size() <= static_cast<size_t>(kMaxLanes)) {
      laneOf[id] = static_cast<int>(l.lanes.size());
      l.lanes.push_back({"console " + std::to_string(id), {}});
    } else {
      if (static_cast<int>(l.lanes.size()) < kMaxLanes) l.lanes.push_back({"other consoles", {}});
      laneOf[id] = kMaxLanes - 1;
    }
  }
  if (l.lanes.empty()) l.lanes.push_back({"no console", {}});
  const int lanes = static_cast<int>(l.lanes.size());
  for (int i = 0; i < lanes; ++i) {
    const int top = l.plot.y + static_cast<int>(int64_t{l.plot.h} * i / lanes);
    const int bottom = l.plot.y + static_cast<int>(int64_t{l.plot.h} * (i + 1) / lanes);
    l.lanes[static_cast<size_t>(i)].area = {l.plot.x, top, l.plot.w, bottom - top};
  }
  l.markRadius = std::min(l.markRadius, std::max(2, l.plot.h / lanes / 3));

  l.marks.reserve(report.cues.size());
  for (const ReportCue& cue : report.cues) {
    const int lane = laneOf.count(cue.console) != 0 ? laneOf[cue.console] : 0;
    const Box& area = l.lanes[static_cast<size_t>(lane)].area;
    l.marks.push_back({TimeToX(l, cue.plannedMs), area.y + area.h / 2, lane, MarkKindOf(cue)});
  }
  for (const ReportStop& stop : report.stops)
    l.stops.push_back({TimeToX(l, stop.showMs), Cut("stop: " + stop.source, 60) + " " + ShowTimeText(stop.showMs)});
  for (const TimecodeMark& mark : report.timecode)
    if (mark.kind == "jump")
      l.jumps.push_back(
          {TimeToX(l, mark.showMs), "jump " + ShowTimeText(mark.fromMs) + " > " + ShowTimeText(mark.toMs)});
  for (const DropoutSpan& span : report.dropouts)
    l.dropouts.push_back({TimeToX(l, span.fromMs), std::max(TimeToX(l, span.toMs), TimeToX(l, span.fromMs) + 2)});

  l.legend = {{kOnTimeColour, MarkKind::OnTime, true, "late <= " + std::to_string(kOnTimeMs) + " ms"},
              {kLateColour, MarkKind::Late, true, "late <= " + std::to_string(kLateMs) + " ms"},
              {kVeryLateColour, MarkKind::VeryLate, true, "late > " + std::to_string(kLateMs) + " ms"},
              {kSkippedColour, MarkKind::Skipped, true, "skipped"},
              {kNotSentColour, MarkKind::NotSent, true, "not sent"},
              {kFromMemoryColour, MarkKind::FromMemory, true, "from memory"},
              {kStopColour, MarkKind::OnTime, false, "stop"},
              {kDropoutColour, MarkKind::OnTime, false, "timecode dropout"},
              {kJumpColour, MarkKind::OnTime, false, "timecode jump"}};
  return l;
}

}  // namespace fd::report
