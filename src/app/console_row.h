#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

namespace fd::app {

// A console's row in the device panel: 23 characters in a fixed-pitch font,
// "   .     ??.??в      0%" with the ID ending in column 3, the channel count from column 6, the
// voltage ending in column 14 and the link quality ending in column 22.
inline constexpr int kConsoleRowLength = 23;
QString ConsoleRowTemplate();

// Writes text into row from the 1-based column on, character by character. Characters that would
// fall outside the 23 columns are dropped, so a long field never shifts the columns behind it.
void PutText(QString& row, int column, const QString& text);
// Right-aligned: the last character of text lands in lastColumn; whatever falls before column 1 is
// dropped.
void PutTextEndingAt(QString& row, int lastColumn, const QString& text);

// The user's decimal separator, as every number with decimals in the window is written.
QChar SystemDecimalPoint();

// A fresh row for a console just listed.
QString NewConsoleRow(int id, int channelCount, double voltage, int linkQuality, QChar decimalPoint);
// The row after a poll: the voltage and link quality written over what the row held.
QString PolledConsoleRow(QString row, double voltage, int linkQuality, QChar decimalPoint);

// Volts with two decimals: 24.0 gives "24,00" with a decimal comma.
QString VoltageText(double volts, QChar decimalPoint);

// The colours a row takes after an exchange. Background is empty for a status the window does not
// know, which leaves the row's background as it was.
struct ConsoleRowColors {
  std::optional<QColor> Background;
  bool ErrorText = false;  // white text on red; otherwise the window text colour
};
ConsoleRowColors RowColorsFor(int32_t lastResult, uint8_t statusBit, const QColor& fieldColor);

// The show position in the time display: whole seconds as H:MM:SS, a point and the tenths digit;
// 83456 ms gives "0:01:23.4". Hours keep counting past 24, and a position before the start shows
// a minus sign, so the display never shows a time the show is not at.
QString ShowTimeText(int32_t ms);

}  // namespace fd::app
