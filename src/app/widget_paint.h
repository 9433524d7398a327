#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

#include "app/led_shape.h"

namespace fd::app {

// Fills a widget's background with a colour of the window's scheme.
void PaintBackground(QWidget* widget, const QColor& color);
void PaintText(QLabel* label, const QColor& color);

// A lit LED is ColorOn with its label in ColorOnText; an unlit one ColorBack with ColorOffText.
void PaintLed(LedShape* led, bool lit);

}  // namespace fd::app
