#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>
#include <utility>
#include <vector>

#include "show/preflight_checks.h"

namespace fd::app {

// Reports the devices a search found besides consoles, radio modules and the remote control.
class TExternalWarningForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 342;
  static constexpr int kClientHeight = 291;

  explicit TExternalWarningForm(QWidget* mainWindow = nullptr);

  // Fills the list with (ID text, description) rows and shows the dialog modally.
  void ShowDevices(const std::vector<std::pair<QString, QString>>& devices);

  QTreeWidget* List = nullptr;
  QPushButton* CloseBtn = nullptr;  // "Закрыть"

 public slots:
  // "Закрыть" is also the cancel button: Esc closes with the same result as a click.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
};

// Lists the consoles a pre-flight check objects to; "Продолжить" lets the caller go on.
class TPresentWarningForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 379;
  static constexpr int kClientHeight = 288;

  explicit TPresentWarningForm(QWidget* mainWindow = nullptr);

  QLabel* Label1 = nullptr;  // the heading, set by the caller
  QPlainTextEdit* Memo = nullptr;
  QPushButton* ContinueBtn = nullptr;  // "Продолжить"
  QPushButton* CancelBtn = nullptr;    // "Отмена"
};

extern TExternalWarningForm* ExternalWarningForm;
extern TPresentWarningForm* PresentWarningForm;

// Shows a failed pre-flight check in the pre-flight dialog and asks the operator; true when the
// work may go on (a check that passed asks nothing).
bool AskToContinue(const show::PreflightResult& check);

// The row of a question's buttons at its right: "Продолжить" (the default, accepts) and "Отмена"
// (rejects), named ContinueBtn and CancelBtn.
QHBoxLayout* ContinueCancelRow(QDialog& dialog, QPushButton*& continueBtn, QPushButton*& cancelBtn);

}  // namespace fd::app
