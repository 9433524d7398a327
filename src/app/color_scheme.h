#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace fd::app {

// The colour scheme number read at start-up: 0 the blue scheme, 1 the system colours. Other
// stored values paint like 0.
extern int32_t ColorScheme;

// The colours the window paints with. They start with the blue scheme's values;
// SetSchemeColors overwrites six of them.
extern QColor ColorAlarm;      // alarm fill: audio failure, lost converter, silent radio module
extern QColor ColorOn;         // a lit LED
extern QColor ColorBack;       // window background, header bars, an unlit LED
extern QColor ColorField;      // list, time display, channel graph background
extern QColor ColorPanel;      // device panel, console information block, channel legend
extern QColor ColorOnText;     // text on a lit LED
extern QColor ColorOffText;    // captions, text on an unlit LED
extern QColor ColorLabelText;  // field labels
extern QColor ColorValueText;  // field values of the current console

// Puts all nine colours back to their initial values.
void ResetSchemeColors();

// Sets the colours of scheme 0 or 1; any other number leaves them as they are. Scheme 1 takes the
// button face and window text from the given palette.
void SetSchemeColors(int32_t scheme, const QPalette& system);

// The number the scheme switch stores: the distance of the current number from 1, so 0 <-> 1 and a
// stray 5 becomes 4. Never overflows: the result is held at INT32_MAX.
int32_t SwitchedColorScheme(int32_t scheme);

}  // namespace fd::app
