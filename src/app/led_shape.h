#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

namespace fd::app {

// An indicator: a round-cornered rectangle with a fixed outline, filled with a colour that the
// window sets, and optionally a label centred on it (the LEDs of the launch view). Without a label
// it is one of the small radio indicators.
class LedShape : public QWidget {
  Q_OBJECT

 public:
  // An empty labelName makes an indicator without a label.
  LedShape(const QString& name, QSize size, const QString& labelName, const QString& text, QWidget* parent = nullptr);

  void SetFill(const QColor& color);
  QColor Fill() const { return fill_; }

  // The label, or nullptr for an indicator without one.
  QLabel* Label() const { return label_; }
  void SetLabelColor(const QColor& color);
  QColor LabelColor() const;

  static QColor OutlineColor() { return QColor(0x87, 0xA3, 0xE4); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_ = Qt::white;
  QLabel* label_ = nullptr;
};

}  // namespace fd::app
