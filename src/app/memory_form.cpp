#include "app/memory_form.h"

#include <QCloseEvent>
#include <QFont>
#include <QPalette>
#include <QPointer>

#include "devices/controls.h"
#include "devices/scenario_memory.h"
#include "show/project_list.h"
#include "support/localizer.h"

namespace fd::app {

TMemoryForm* MemoryForm = nullptr;

namespace {

QFont VerdanaBold(int pixels) {
  // The Debian face with Verdana's shapes stands in where Verdana is not installed.
  QFont font(QStringLiteral("Verdana"));
  font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(pixels);
  font.setBold(true);
  return font;
}

}  // namespace

TMemoryForm::TMemoryForm(platform::Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform) {
  setObjectName(QStringLiteral("MemoryForm"));
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 0, kClientWidth, 57);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);

  TextLabel = new QLabel(QStringLiteral("Запись сценария"), Panel1);
  TextLabel->setObjectName(QStringLiteral("TextLabel"));
  TextLabel->setFont(VerdanaBold(16));
  QPalette black = TextLabel->palette();
  black.setColor(QPalette::WindowText, Qt::black);
  TextLabel->setPalette(black);
  TextLabel->setGeometry(12, 20, kClientWidth - 24, 22);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(VerdanaBold(11));
  Label1->setGeometry(14, 66, kClientWidth - 28, 16);

  Gauge = new QProgressBar(this);
  Gauge->setObjectName(QStringLiteral("Gauge"));
  Gauge->setGeometry(12, 86, 357, 16);
  Gauge->setRange(0, 100);
  Gauge->setValue(0);
  Gauge->setTextVisible(false);
  Gauge->setStyleSheet(
      QStringLiteral("QProgressBar { border: 1px solid gray; background: white; }"
                     "QProgressBar::chunk { background-color: navy; }"));

  Button1 = new QPushButton(QStringLiteral("Отмена"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(286, 114, 75, 25);
  Button1->setDefault(true);  // Enter presses it; Esc reaches it through reject()
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TMemoryForm::Button1Click() { Cancelled = true; }

void TMemoryForm::reject() { Button1Click(); }

void TMemoryForm::closeEvent(QCloseEvent* event) {
  // Closing the window by the system menu cancels the run instead of hiding it mid-way.
  if (running_) {
    Button1Click();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TMemoryForm::CentreOnParent() {
  QWidget* owner = parentWidget();
  if (!owner) return;
  QRect area = owner->frameGeometry();
  move(area.center() - rect().center());
}

bool TMemoryForm::RunWrite(devices::TControls& controls, show::TProjectList& list) {
  return Run(Kind::Write, controls, list);
}

bool TMemoryForm::RunVerify(devices::TControls& controls, show::TProjectList& list) {
  return Run(Kind::Verify, controls, list);
}

bool TMemoryForm::Run(Kind kind, devices::TControls& controls, show::TProjectList& list) {
  // The registry's runs are not re-entrant; a second command from inside a progress event waits
  // for nothing and does nothing.
  if (running_) return false;
  running_ = true;

  Cancelled = false;
  TextLabel->setText(kind == Kind::Write ? QStringLiteral("Запись сценария в пульты...")
                                         : QStringLiteral("Проверка сценария в пультах..."));
  Label1->clear();
  Gauge->setValue(0);

  // The handler stays installed after the run; it must not outlive this window.
  QPointer<TMemoryForm> self(this);
  // The list is kept in time order, the order the run walks it.
  passLog_ = std::make_unique<show::MemoryPassLog>(list.Cues());
  controls.OnMemoryProgress = [self](int percent, int deviceIndex, int consoleId, int channel, bool& cancel) {
    if (self) self->MemoryProgress(percent, deviceIndex, consoleId, channel, cancel);
  };

  CentreOnParent();
  show();
  repaint();

  lastResult_ = kind == Kind::Write ? controls.WriteScenario(list.Cues()) : controls.VerifyScenario(list.Cues());

  ReportResult(lastResult_, controls.ScenarioFaultLine, controls.ScenarioFaultCause);
  running_ = false;
  hide();
  return true;
}

void TMemoryForm::MemoryProgress(int percent, int deviceIndex, int consoleId, int channel, bool& cancel) {
  cancel = Cancelled;  // a click is seen at the next event
  if (deviceIndex >= 0 && passLog_) passLog_->Note(consoleId);
  Gauge->setValue(percent);
  Gauge->repaint();
  if (deviceIndex == -1)
    Label1->clear();
  else
    Label1->setText(QStringLiteral("Пульт: %1, канал: %2").arg(consoleId).arg(channel));
  Label1->repaint();
  platform_.ProcessPendingEvents();
}

show::OrderedJson TMemoryForm::LastPass(const std::string& pass, const std::string& result) const {
  return passLog_ ? passLog_->PassJson(pass, lastResult_, result) : show::OrderedJson();
}

void TMemoryForm::ReportResult(int code, const std::optional<int>& faultLine, const std::string& cause) {
  const std::string message = devices::ScenarioRunMessage(code, faultLine, cause);
  if (!message.empty()) platform_.ShowMessage(message, support::LocalText(91, "Ошибка"));
}

}  // namespace fd::app
