#include "app/channel_graph.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "devices/common_control.h"
#include "support/numbers.h"

namespace fd::app {

namespace {

// Firmware from 268 on measures the channel resistance and the graph shows it under the number.
constexpr int32_t kReadingFirmware = 0x268;

struct StateLook {
  QColor Fill;
  QColor Text;
  QColor Cross;
};

StateLook LookOf(uint8_t state, const QColor& fieldColor) {
  const QColor black(0, 0, 0), white(0xFF, 0xFF, 0xFF), red(0xFF, 0, 0);
  switch (state) {
    case 1:
      return {QColor(0, 0xFF, 0), black, black};
    case 2:
      return {QColor(0, 0, 0xFF), white, red};
    case 3:
      return {red, white, white};
    default:
      return {fieldColor, black, black};
  }
}

// The design's fonts in pixels at 96 dpi (8 pt is 11 px, 7 pt is 9 px), so the image draws alike
// whatever resolution the screen reports.
QFont CellFont(const char* design, const char* stand_in, int pixels, bool bold) {
  QFont font{QString::fromLatin1(stand_in)};
  font.setFamilies({QString::fromLatin1(design), QString::fromLatin1(stand_in)});
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

int HalfOf(int extent) { return static_cast<int>(support::RoundHalfAway(static_cast<long double>(extent) / 2)); }

}  // namespace

ChannelGraph::ChannelGraph(QWidget* parent) : QWidget(parent) {
  // Every pixel comes from the image: nothing behind it needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage& ChannelGraph::BeginImage(const QColor& fill) {
  const QSize size = this->size().expandedTo(QSize(1, 1));
  if (image_.size() != size) image_ = QImage(size, QImage::Format_RGB32);
  image_.fill(fill);
  return image_;
}

void ChannelGraph::paintEvent(QPaintEvent* /*event*/) {
  // The handler redraws the image and asks for a repaint; that request must not come back here.
  if (OnPaint && !painting_) {
    painting_ = true;
    OnPaint();
    painting_ = false;
  }
  QPainter painter(this);
  if (image_.isNull()) return;
  painter.drawImage(0, 0, image_);
}

ChannelCell CellOf(int channel) {
  const int c = channel % 16, l = channel / 16;
  return {32 * c + 2, 24 * l + 2, 32 * c + 32, 24 * l + 24};
}

QString ReadingText(double value, QChar decimalPoint) {
  // Seven significant digits at most, as the readings were always shown; beyond that the
  // exponent form keeps the number honest instead of inventing digits.
  QString text = std::fabs(value) < 1e6 ? QString::number(value, 'f', 1) : QString::number(value, 'g', 7);
  text.replace(QLatin1Char('.'), decimalPoint);
  return text;
}

void DrawChannelCells(QImage& image, const devices::TCommonControl& console, const QColor& fieldColor,
                      QChar decimalPoint) {
  QPainter painter(&image);
  const bool readings = console.Version >= kReadingFirmware;
  const QFont plain = CellFont("MS Sans Serif", "Liberation Sans", 11, false);
  const QFont number = CellFont("Arial", "Liberation Sans", 11, true);
  const QFont reading = CellFont("Arial", "Liberation Sans", 9, false);

  const int channels = console.TableChannels();
  for (int i = 0; i < channels; ++i) {
    const ChannelCell cell = CellOf(i);
    const uint8_t state = console.StateOf(i);
    const bool used = console.ChannelUsed[static_cast<size_t>(i)] != 0;
    const StateLook look = LookOf(state, fieldColor);

    QPen pen(QColor(0, 0, 0), 1);
    // A channel the show fires but that is not connected must stand out from across the room.
    if (state == 2 && used) pen = QPen(QColor(0xFF, 0, 0), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(look.Fill);
    painter.drawRect(QRect(QPoint(cell.X1, cell.Y1), QPoint(cell.X2 - 1, cell.Y2 - 1)));

    if (used) {
      painter.setPen(QPen(look.Cross, 1));
      painter.drawLine(cell.X1, cell.Y1, cell.X2, cell.Y2);
      painter.drawLine(cell.X2, cell.Y1, cell.X1, cell.Y2);
    }

    const int c = i % 16, l = i / 16;
    const QString label = QString::number(i + 1);
    painter.setPen(look.Text);
    painter.setBrush(Qt::NoBrush);
    if (!readings) {
      painter.setFont(plain);
      const QFontMetrics metrics(plain);
      const int w = metrics.horizontalAdvance(label), h = metrics.height();
      painter.drawText(QRect(32 * c + 17 - HalfOf(w), 24 * l + 11 - HalfOf(h), w, h), Qt::AlignLeft | Qt::AlignTop,
                       label);
      continue;
    }
    painter.setFont(number);
    {
      const QFontMetrics metrics(number);
      const int w = metrics.horizontalAdvance(label);
      painter.drawText(QRect(32 * c + 17 - w / 2, 24 * l + 1, w, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
                       label);
    }
    painter.setFont(reading);
    {
      const QString value = ReadingText(console.ChannelValue[static_cast<size_t>(i)], decimalPoint);
      const QFontMetrics metrics(reading);
      const int w = metrics.horizontalAdvance(value);
      painter.drawText(QRect(32 * c + 17 - w / 2, 24 * l + 12, w, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
                       value);
    }
  }
}

}  // namespace fd::app
