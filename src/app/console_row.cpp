#include "app/console_row.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fd::app {

QString ConsoleRowTemplate() { return QStringLiteral("   .     ??.??в      0%"); }

void PutText(QString& row, int column, const QString& text) {
  for (int i = 0; i < text.size(); ++i) {
    const int index = column - 1 + i;
    if (index >= 0 && index < row.size()) row[index] = text[i];
  }
}

void PutTextEndingAt(QString& row, int lastColumn, const QString& text) {
  PutText(row, lastColumn - static_cast<int>(text.size()) + 1, text);
}

QChar SystemDecimalPoint() {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? QLatin1Char('.') : point.front();
}

QString VoltageText(double volts, QChar decimalPoint) {
  if (!std::isfinite(volts)) volts = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", volts);
  QString text = QString::fromLatin1(buffer);
  text.replace(QLatin1Char('.'), decimalPoint);
  return text;
}

namespace {

void PutMeasurements(QString& row, double voltage, int linkQuality, QChar decimalPoint) {
  PutTextEndingAt(row, 14, QStringLiteral(" ") + VoltageText(voltage, decimalPoint));
  PutTextEndingAt(row, 22, QStringLiteral("  ") + QString::number(linkQuality));
  PutText(row, 17, QStringLiteral(" "));
}

}  // namespace

QString NewConsoleRow(int id, int channelCount, double voltage, int linkQuality, QChar decimalPoint) {
  QString row = ConsoleRowTemplate();
  PutTextEndingAt(row, 3, QString::number(id));
  PutText(row, 6, QString::number(channelCount));
  PutMeasurements(row, voltage, linkQuality, decimalPoint);
  return row;
}

QString PolledConsoleRow(QString row, double voltage, int linkQuality, QChar decimalPoint) {
  // A row that lost its shape somewhere is rebuilt on the template rather than written past its end.
  if (row.size() != kConsoleRowLength) row = ConsoleRowTemplate();
  PutMeasurements(row, voltage, linkQuality, decimalPoint);
  return row;
}

ConsoleRowColors RowColorsFor(int32_t lastResult, uint8_t statusBit, const QColor& fieldColor) {
  if (lastResult != 0) return {QColor(0xFF, 0x00, 0x00), true};
  switch (statusBit) {
    case 0:
      return {QColor(0x00, 0xFF, 0x00), false};
    case 1:
      return {fieldColor, false};
    case 2:
      return {QColor(0xFF, 0xFF, 0x00), false};
    default:
      return {std::nullopt, false};
  }
}

QString ShowTimeText(int32_t ms) {
  const int64_t value = ms;
  const int64_t magnitude = std::llabs(value);
  const int64_t seconds = magnitude / 1000;
  const int64_t tenths = (magnitude / 100) % 10;
  return QStringLiteral("%1%2:%3:%4.%5")
      .arg(value < 0 ? QStringLiteral("-") : QString())
      .arg(seconds / 3600)
      .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths);
}

}  // namespace fd::app
