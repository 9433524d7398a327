#include "app/led_shape.h"

#include <QPainter>
#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>

namespace fd::app {

LedShape::LedShape(const QString& name, QSize size, const QString& labelName, const QString& text, QWidget* parent)
    : QWidget(parent) {
  setObjectName(name);
  setFixedSize(size);
  if (labelName.isEmpty()) return;
  label_ = new QLabel(text, this);
  label_->setObjectName(labelName);
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TranslucentBackground);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_);
}

void LedShape::SetFill(const QColor& color) {
  if (fill_ == color) return;
  fill_ = color;
  update();
}

void LedShape::SetLabelColor(const QColor& color) {
  if (!label_) return;
  QPalette p = label_->palette();
  p.setColor(QPalette::WindowText, color);
  label_->setPalette(p);
}

QColor LedShape::LabelColor() const { return label_ ? label_->palette().color(QPalette::WindowText) : QColor(); }

void LedShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(OutlineColor(), 1));
  painter.setBrush(fill_);
  // The corner rounding grows with the shorter side, as on the design's shapes.
  const qreal radius = std::max<qreal>(2.0, std::min(width(), height()) / 5.0);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

}  // namespace fd::app
