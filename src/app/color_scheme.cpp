#include "app/color_scheme.h"

#include <cstdlib>
#include <limits>

namespace fd::app {

namespace {
const QColor kInitialBack(0x24, 0x5E, 0xDC);
const QColor kInitialField(0xDB, 0xE7, 0xF9);
const QColor kInitialPanel(0x50, 0x80, 0xE2);
const QColor kInitialOffText(0xBB, 0xD0, 0xF2);
}  // namespace

int32_t ColorScheme = 0;

QColor ColorAlarm(0xFF, 0x00, 0x00);
QColor ColorOn(0x00, 0xFF, 0x00);
QColor ColorBack = kInitialBack;
QColor ColorField = kInitialField;
QColor ColorPanel = kInitialPanel;
QColor ColorOnText(0x00, 0x00, 0x00);
QColor ColorOffText = kInitialOffText;
QColor ColorLabelText(0xFF, 0xFF, 0xFF);
QColor ColorValueText(0xFF, 0xFF, 0xFF);

void ResetSchemeColors() {
  ColorAlarm = QColor(0xFF, 0x00, 0x00);
  ColorOn = QColor(0x00, 0xFF, 0x00);
  ColorBack = kInitialBack;
  ColorField = kInitialField;
  ColorPanel = kInitialPanel;
  ColorOnText = QColor(0x00, 0x00, 0x00);
  ColorOffText = kInitialOffText;
  ColorLabelText = QColor(0xFF, 0xFF, 0xFF);
  ColorValueText = QColor(0xFF, 0xFF, 0xFF);
}

void SetSchemeColors(int32_t scheme, const QPalette& system) {
  if (scheme == 0) {
    ColorBack = kInitialBack;
    ColorPanel = kInitialPanel;
    ColorOffText = kInitialOffText;
    ColorLabelText = QColor(0xFF, 0xFF, 0xFF);
    ColorValueText = QColor(0xFF, 0xFF, 0xFF);
    ColorField = kInitialField;
  } else if (scheme == 1) {
    const QColor face = system.color(QPalette::Active, QPalette::Button);
    const QColor text = system.color(QPalette::Active, QPalette::WindowText);
    ColorBack = face;
    ColorPanel = face;
    ColorOffText = text;
    ColorLabelText = text;
    ColorValueText = QColor(0x00, 0x00, 0x80);
    ColorField = QColor(0xFF, 0xFF, 0xFF);
  }
}

int32_t SwitchedColorScheme(int32_t scheme) {
  const int64_t distance = std::llabs(static_cast<int64_t>(scheme) - 1);
  return distance > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                        : static_cast<int32_t>(distance);
}

}  // namespace fd::app
