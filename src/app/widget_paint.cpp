#include "app/widget_paint.h"

#include <QPalette>

#include "app/color_scheme.h"

namespace fd::app {

void PaintBackground(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, color);
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

void PaintText(QLabel* label, const QColor& color) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, color);
  label->setPalette(p);
}

void PaintLed(LedShape* led, bool lit) {
  led->SetFill(lit ? ColorOn : ColorBack);
  led->SetLabelColor(lit ? ColorOnText : ColorOffText);
}

}  // namespace fd::app
