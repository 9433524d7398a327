#include "app/show_resume_dialog.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "app/warning_dialogs.h"

namespace fd::app {

TResumeDialog::TResumeDialog(QWidget* mainWindow)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("ResumeDialog"));
  setWindowTitle(QStringLiteral("Продолжение шоу"));
  setModal(true);

  auto* column = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* picture = new QLabel;
  picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  picture->setFixedSize(32, 32);
  top->addWidget(picture);
  Question = new QLabel;
  Question->setObjectName(QStringLiteral("Question"));
  QFont bold = Question->font();
  bold.setBold(true);
  Question->setFont(bold);
  top->addWidget(Question, 1);
  column->addLayout(top);

  LastCue = new QLabel;
  LastCue->setObjectName(QStringLiteral("LastCue"));
  column->addWidget(LastCue);
  JournalLabel = new QLabel;
  JournalLabel->setObjectName(QStringLiteral("JournalLabel"));
  // A journal's path can be long: it wraps anywhere rather than widening the dialog off screen.
  JournalLabel->setWordWrap(true);
  JournalLabel->setMaximumWidth(520);
  JournalLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(JournalLabel);

  column->addLayout(ContinueCancelRow(*this, ContinueBtn, CancelBtn));
}

}  // namespace fd::app
