#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

namespace fd::devices {
class TCommonControl;
}

namespace fd::app {

// The channel graph of the test view: the cells are drawn into an off-screen image of the graph's
// size and copied onto the widget in one piece, so the repaint after every measured channel never
// flickers.
class ChannelGraph : public QWidget {
  Q_OBJECT

 public:
  explicit ChannelGraph(QWidget* parent = nullptr);

  // Runs on every repaint (ChannelsGraphPaint): the window redraws the image before it is copied.
  std::function<void()> OnPaint;

  // The off-screen image, resized to the widget and cleared to fill.
  QImage& BeginImage(const QColor& fill);
  const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  bool painting_ = false;
};

// Geometry of channel i's cell: 16 cells a line, 32 x 24 pixels apart.
struct ChannelCell {
  int X1, Y1, X2, Y2;
};
ChannelCell CellOf(int channel);

// The reading under a channel's number: fixed point with one decimal in the given separator.
QString ReadingText(double value, QChar decimalPoint);

// Draws every tested channel of the console (at most the 512 its tables hold) into image: state
// colours, the red border of a used channel that is not connected, the cross on used channels,
// and the labels as the console's firmware generation shows them.
void DrawChannelCells(QImage& image, const devices::TCommonControl& console, const QColor& fieldColor,
                      QChar decimalPoint);

}  // namespace fd::app
