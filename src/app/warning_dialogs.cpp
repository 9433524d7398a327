#include "app/warning_dialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

#include "app/widget_paint.h"

namespace fd::app {

TExternalWarningForm* ExternalWarningForm = nullptr;
TPresentWarningForm* PresentWarningForm = nullptr;

namespace {

// A fixed dialog border and a title, but no buttons in the title bar.
constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

QLabel* WarningPicture(QWidget* owner) {
  auto* picture = new QLabel;
  picture->setObjectName(QStringLiteral("WarningPicture"));
  picture->setPixmap(owner->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  picture->setFixedSize(32, 32);
  return picture;
}

QLabel* BoldLabel(const QString& name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QVBoxLayout* GroupLayout(QGroupBox* group) {
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(6, 6, 6, 6);
  return layout;
}

}  // namespace

TExternalWarningForm::TExternalWarningForm(QWidget* mainWindow) : QDialog(mainWindow, kDialogFlags) {
  setObjectName(QStringLiteral("ExternalWarningForm"));
  setWindowTitle(QStringLiteral("Предупреждение"));
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(3, 3, 3, 3);

  auto* band = new QWidget;
  band->setObjectName(QStringLiteral("HeadingBand"));
  PaintBackground(band, QColor(0xFF, 0xFF, 0xFF));
  auto* bandRow = new QHBoxLayout(band);
  bandRow->addWidget(WarningPicture(this));
  bandRow->addWidget(BoldLabel(QStringLiteral("Heading"), QStringLiteral("Дополнительные устройства в сети")), 1);
  column->addWidget(band);

  for (const QString& line : {QStringLiteral("Обнаружены подключенные дополнительные устройства."),
                              QStringLiteral("Для корректной работы программы управления"),
                              QStringLiteral("рекомендуется эти устройства отключить.")})
    column->addWidget(new QLabel(line));

  auto* group = new QGroupBox(QStringLiteral(" Список устройств "));
  group->setObjectName(QStringLiteral("DevicesGroup"));
  List = new QTreeWidget;
  List->setObjectName(QStringLiteral("List"));
  List->setColumnCount(2);
  List->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Описание")});
  List->setRootIsDecorated(false);
  List->setSelectionBehavior(QAbstractItemView::SelectRows);
  List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List->setColumnWidth(0, 50);
  List->header()->setStretchLastSection(true);
  GroupLayout(group)->addWidget(List);
  column->addWidget(group, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  CloseBtn = new QPushButton(QStringLiteral("Закрыть"));
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(CloseBtn);
  column->addLayout(buttons);
}

void TExternalWarningForm::ShowDevices(const std::vector<std::pair<QString, QString>>& devices) {
  List->clear();
  for (const auto& [id, description] : devices) List->addTopLevelItem(new QTreeWidgetItem({id, description}));
  exec();
}

void TExternalWarningForm::reject() { accept(); }

void TExternalWarningForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CloseBtn->setFocus();
}

TPresentWarningForm::TPresentWarningForm(QWidget* mainWindow) : QDialog(mainWindow, kDialogFlags) {
  setObjectName(QStringLiteral("PresentWarningForm"));
  setWindowTitle(QStringLiteral("Предупреждение"));
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(3, 3, 3, 3);

  auto* top = new QHBoxLayout;
  top->addWidget(WarningPicture(this));
  Label1 = BoldLabel(QStringLiteral("Label1"), QString());
  Label1->setWordWrap(true);
  top->addWidget(Label1, 1);
  column->addLayout(top);

  auto* group = new QGroupBox(QStringLiteral(" Список пультов (ID) "));
  group->setObjectName(QStringLiteral("ConsolesGroup"));
  Memo = new QPlainTextEdit;
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  Memo->setFrameShape(QFrame::NoFrame);
  Memo->setFocusPolicy(Qt::NoFocus);
  // On the dialog's own background, like a label that can hold a long list.
  QPalette p = Memo->palette();
  p.setColor(QPalette::Base, palette().color(QPalette::Window));
  Memo->setPalette(p);
  GroupLayout(group)->addWidget(Memo);
  column->addWidget(group, 1);

  column->addLayout(ContinueCancelRow(*this, ContinueBtn, CancelBtn));
}

QHBoxLayout* ContinueCancelRow(QDialog& dialog, QPushButton*& continueBtn, QPushButton*& cancelBtn) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  continueBtn = new QPushButton(QStringLiteral("Продолжить"));
  continueBtn->setObjectName(QStringLiteral("ContinueBtn"));
  continueBtn->setDefault(true);
  cancelBtn = new QPushButton(QStringLiteral("Отмена"));
  cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  QObject::connect(continueBtn, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancelBtn, &QPushButton::clicked, &dialog, &QDialog::reject);
  buttons->addWidget(continueBtn);
  buttons->addWidget(cancelBtn);
  return buttons;
}

}  // namespace fd::app
