#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace fd::app {

// Asks whether a show cut short carries on: the position, the last cue sent and the journal that
// says so. "Продолжить" accepts; "Отмена" and Esc leave everything as it was.
class TResumeDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TResumeDialog(QWidget* mainWindow = nullptr);

  QLabel* Question = nullptr;          // "Продолжить шоу с 0:01:23.4?"
  QLabel* LastCue = nullptr;           // the last cue the journal holds as sent
  QLabel* JournalLabel = nullptr;      // the journal's file
  QPushButton* ContinueBtn = nullptr;  // "Продолжить"
  QPushButton* CancelBtn = nullptr;    // "Отмена"
};

}  // namespace fd::app
