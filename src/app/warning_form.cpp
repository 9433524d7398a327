#include "app/warning_form.h"

#include <QFont>
#include <QHideEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/widget_paint.h"

namespace fd::app {

TWarningForm* WarningForm = nullptr;

TWarningForm::TWarningForm(platform::Platform& platform, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("WarningForm"));
  setWindowTitle(QStringLiteral("Предупреждение"));
  setFixedSize(kClientWidth, kClientHeight);
  // The operator keeps typing into the main window while the banner is up.
  setAttribute(Qt::WA_ShowWithoutActivating);
  PaintBackground(this, QColor(0xFF, 0x00, 0x00));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  Panel = new QLabel(QStringLiteral("Ошибка !!!"));
  Panel->setObjectName(QStringLiteral("Panel"));
  Panel->setAlignment(Qt::AlignCenter);
  Panel->setWordWrap(true);
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPixelSize(29);
  font.setBold(true);
  Panel->setFont(font);
  PaintText(Panel, QColor(0xFF, 0xFF, 0xFF));
  layout->addWidget(Panel);

  Timer = platform.CreateTimer();
  Timer->SetInterval(kShowMs);
  Timer->OnTimer = [this] { TimerTimer(); };
}

TWarningForm::~TWarningForm() {
  if (WarningForm == this) WarningForm = nullptr;
}

void TWarningForm::ShowWarning(const QString& text) {
  Panel->setText(text);
  // Enabling a running timer leaves its count alone.
  Timer->SetEnabled(true);
  if (!isVisible()) CentreOnMainWindow();
  show();
  raise();
  repaint();
}

void TWarningForm::TimerTimer() { close(); }

void TWarningForm::keyPressEvent(QKeyEvent* event) {
  close();
  event->accept();
}

void TWarningForm::hideEvent(QHideEvent* event) {
  Timer->SetEnabled(false);
  QWidget::hideEvent(event);
}

void TWarningForm::CentreOnMainWindow() {
  if (mainWindow_ == nullptr) return;
  const QRect frame = mainWindow_->frameGeometry();
  move(frame.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace fd::app
