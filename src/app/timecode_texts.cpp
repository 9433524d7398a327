#include "app/timecode_texts.h"

#include "app/console_row.h"

namespace fd::app {

QString TimecodeLedText(timecode::ChaseState state, timecode::FrameRate rate) {
  switch (state) {
    case timecode::ChaseState::Searching:
      return QStringLiteral("Таймкод: поиск");
    case timecode::ChaseState::Locked:
      return QStringLiteral("Таймкод ") + QString::fromLatin1(timecode::FrameRateText(rate));
    case timecode::ChaseState::Lost:
      return QStringLiteral("Таймкод потерян");
    case timecode::ChaseState::Off:
      break;
  }
  return QStringLiteral("Таймкод");
}

QString ReceivedTimecodeText(const std::optional<timecode::Timecode>& label, timecode::FrameRate rate) {
  if (!label) return QStringLiteral("--:--:--:--");
  return QString::fromStdString(timecode::TimecodeText(*label, rate));
}

QString SkipReasonText(const std::string& reason) {
  if (reason == "before_start") return QStringLiteral("до начала по таймкоду");
  if (reason == "timecode_jump") return QStringLiteral("скачок таймкода");
  return QString::fromStdString(reason);
}

QString TimecodeLostLine(int32_t showMs, bool showRunning) {
  // Armed and not yet started, the show waits for the timecode rather than running on.
  return QStringLiteral("Таймкод потерян на ") + ShowTimeText(showMs) +
         (showRunning ? QStringLiteral(", шоу идёт по своим часам") : QStringLiteral(", шоу ждёт таймкода"));
}

QString TimecodeReturnLine(int32_t showMs) { return QStringLiteral("Таймкод снова принят на ") + ShowTimeText(showMs); }

QString TimecodeJumpLine(int32_t fromMs, int32_t toMs) {
  // The run log is written in Windows-1251, which has no arrow: "->" keeps the line readable there.
  return QStringLiteral("Скачок таймкода: ") + ShowTimeText(fromMs) + QStringLiteral(" -> ") + ShowTimeText(toMs);
}

QString CueSkippedLine(int32_t line, int32_t timeMs, const std::string& reason) {
  return QStringLiteral("Пропущена команда: строка %1, %2 (%3)")
      .arg(line)
      .arg(ShowTimeText(timeMs), SkipReasonText(reason));
}

}  // namespace fd::app
