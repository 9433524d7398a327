#include "report/timeline_picture.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "report/scenario_check.h"
#include "support/file_error_text.h"

namespace fd::report {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QFont FontOf(int px, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(1, px));
  font.setBold(bold);
  return font;
}

void PaintMark(QPainter& p, MarkKind kind, int x, int y, int r) {
  const QColor colour = ToQColor(MarkColour(kind));
  switch (kind) {
    case MarkKind::Skipped:
      p.setPen(QPen(colour, std::max(2, r / 2), Qt::SolidLine, Qt::RoundCap));
      p.setBrush(Qt::NoBrush);
      p.drawLine(x - r, y - r, x + r, y + r);
      p.drawLine(x - r, y + r, x + r, y - r);
      return;
    case MarkKind::NotSent:
    case MarkKind::FromMemory:
      p.setPen(QPen(colour, std::max(2, r / 3)));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPoint(x, y), r, r);
      return;
    default:
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(QPoint(x, y), r, r);
      return;
  }
}

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  // No window is ever shown: the offscreen platform needs no display, and a set QT_QPA_PLATFORM
  // still has its way.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the session (no XDG_RUNTIME_DIR over ssh, fonts) are no news for the operator.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  });
  static int argc = 1;
  static char name[] = "firnadesk";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

QImage PaintTimeline(const TimelineLayout& l) {
  QImage image(l.width, l.height, QImage::Format_RGB32);
  image.fill(ToQColor(kBackgroundColour));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  const QColor ink(0x20, 0x20, 0x20);

  p.setPen(ink);
  p.setFont(FontOf(l.titlePx, true));
  p.drawText(QRect(l.titleArea.x, l.titleArea.y, l.titleArea.w, l.titlePx * 3 / 2), Qt::AlignLeft | Qt::AlignVCenter,
             Q(l.title));
  p.setFont(FontOf(l.textPx));
  p.drawText(QRect(l.titleArea.x, l.titleArea.y + l.titlePx * 2, l.titleArea.w, l.textPx * 3 / 2),
             Qt::AlignLeft | Qt::AlignVCenter, Q(l.subtitle));

  // Lanes, then what lies under the marks: dropouts and the grid.
  for (size_t i = 0; i < l.lanes.size(); ++i) {
    const Box& a = l.lanes[i].area;
    p.fillRect(a.x, a.y, a.w, a.h, ToQColor(kLaneColours[i % 2]));
  }
  for (const AxisSpan& span : l.dropouts)
    p.fillRect(span.x0, l.plot.y, span.x1 - span.x0, l.plot.h + l.axis.h / 4, ToQColor(kDropoutColour));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), 1));
  for (const AxisLine& tick : l.ticks) p.drawLine(tick.x, l.plot.y, tick.x, l.plot.Bottom());
  p.setPen(QPen(ink, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(l.plot.x, l.plot.y, l.plot.w, l.plot.h);

  p.setFont(FontOf(l.textPx));
  p.setPen(ink);
  for (const Lane& lane : l.lanes)
    p.drawText(QRect(l.titleArea.x, lane.area.y, l.labelRight - l.titleArea.x, lane.area.h),
               Qt::AlignRight | Qt::AlignVCenter, Q(lane.label));
  p.setFont(FontOf(l.smallPx));
  for (const AxisLine& tick : l.ticks) {
    p.drawLine(tick.x, l.plot.Bottom(), tick.x, l.plot.Bottom() + l.smallPx / 2);
    p.drawText(QRect(tick.x - l.smallPx * 4, l.plot.Bottom() + l.smallPx / 2, l.smallPx * 8, l.smallPx * 3 / 2),
               Qt::AlignHCenter | Qt::AlignTop, Q(tick.label));
  }

  p.setRenderHint(QPainter::Antialiasing, true);
  for (const Mark& mark : l.marks) PaintMark(p, mark.kind, mark.x, mark.y, l.markRadius);

  // Stops and jumps over everything, labelled below the tick labels.
  p.setRenderHint(QPainter::Antialiasing, false);
  const int labelY = l.plot.Bottom() + l.smallPx * 2;
  for (const AxisLine& jump : l.jumps) {
    p.setPen(QPen(ToQColor(kJumpColour), std::max(2, l.markRadius / 2), Qt::DashLine));
    p.drawLine(jump.x, l.plot.y, jump.x, l.plot.Bottom());
    p.drawText(QRect(jump.x + 4, labelY + l.smallPx * 3 / 2, l.smallPx * 24, l.smallPx * 3 / 2),
               Qt::AlignLeft | Qt::AlignTop, Q(jump.label));
  }
  for (const AxisLine& stop : l.stops) {
    p.setPen(QPen(ToQColor(kStopColour), std::max(3, l.markRadius / 2)));
    p.drawLine(stop.x, l.plot.y, stop.x, l.plot.Bottom() + l.smallPx * 2);
    p.drawText(QRect(stop.x - l.smallPx * 24 - 4, labelY, l.smallPx * 24, l.smallPx * 3 / 2),
               Qt::AlignRight | Qt::AlignTop, Q(stop.label));
  }

  // The legend, one entry after the other along the bottom.
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setFont(FontOf(l.textPx));
  int x = l.legendArea.x;
  const int y = l.legendArea.y + l.legendArea.h / 2;
  for (const LegendEntry& entry : l.legend) {
    if (entry.isMark) {
      PaintMark(p, entry.kind, x + l.markRadius, y, l.markRadius);
    } else if (entry.colour == kDropoutColour) {
      p.fillRect(x, y - l.textPx / 2, l.markRadius * 2, l.textPx, ToQColor(entry.colour));
    } else {
      p.setPen(QPen(ToQColor(entry.colour), std::max(3, l.markRadius / 2),
                    entry.colour == kJumpColour ? Qt::DashLine : Qt::SolidLine));
      p.drawLine(x + l.markRadius, y - l.textPx / 2, x + l.markRadius, y + l.textPx / 2);
    }
    x += l.markRadius * 2 + l.textPx / 2;
    p.setPen(ink);
    const QString label = Q(entry.label);
    const int w = p.fontMetrics().horizontalAdvance(label);
    p.drawText(QRect(x, y - l.textPx, w + 2, l.textPx * 2), Qt::AlignLeft | Qt::AlignVCenter, label);
    x += w + l.textPx * 3 / 2;
  }
  p.end();
  return image;
}

bool SaveTimelinePng(const ShowReport& report, const std::string& pngPath, std::string& error) {
  const QImage image = PaintTimeline(LayOutTimeline(report));
  const std::string part = pngPath + ".part";
  if (!image.save(Q(part), "PNG")) {
    const int saved = errno;
    std::remove(part.c_str());
    error = pngPath + ": the picture cannot be written" +
            (saved != 0 ? " (" + support::FileErrorText(saved) + ")" : std::string());
    return false;
  }
  if (std::rename(part.c_str(), pngPath.c_str()) != 0) {
    error = pngPath + ": " + support::FileErrorText(errno);
    std::remove(part.c_str());
    return false;
  }
  return true;
}

bool DrawJournalPicture(const std::string& journalPath, const std::string& pngPath, std::string& error) {
  const auto journal = journal::ReadJournalFile(journalPath, error);
  if (!journal) return false;
  if (journal->header.kind != "show") {
    error = journalPath + ": not the journal of a show (\"" + journal->header.kind + "\")";
    return false;
  }
  return SaveTimelinePng(BuildShowReport(*journal, journalPath, CheckScenario(journal->header)), pngPath, error);
}

std::string PicturePathFor(const std::string& journalPath) {
  const std::string extension = ".jsonl";
  if (journalPath.size() > extension.size() &&
      journalPath.compare(journalPath.size() - extension.size(), extension.size(), extension) == 0)
    return journalPath.substr(0, journalPath.size() - extension.size()) + ".png";
  return journalPath + ".png";
}

}  // namespace fd::report
