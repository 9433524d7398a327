// The three warning windows: the red banner with its own time and keys, and the two dialogs.
#include <QTimer>
#include <QtTest>

#include "app/bench_window.h"
#include "app/warning_dialogs.h"
#include "app/warning_form.h"

using namespace fd::app;
using namespace fd::app::testing;

class WarningFormsTest : public QObject {
  Q_OBJECT

  ManualTimerPlatform platform_;

 private slots:
  void theBannerIsRedOnTopAndTakesNoFocus() {
    QWidget main;
    main.resize(800, 600);
    main.show();
    TWarningForm banner(platform_, &main);
    QCOMPARE(banner.size(), QSize(486, 95));
    QCOMPARE(banner.windowTitle(), QStringLiteral("Предупреждение"));
    QVERIFY(banner.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(banner.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(banner.testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(banner.palette().color(QPalette::Window), QColor(0xFF, 0x00, 0x00));
    QCOMPARE(banner.Panel->palette().color(QPalette::WindowText), QColor(0xFF, 0xFF, 0xFF));
    QVERIFY(!banner.isVisible());
    QVERIFY(!Manual(*banner.Timer).Enabled());
  }

  void aSecondWarningChangesTheTextButNotTheCount() {
    TWarningForm banner(platform_);
    ManualTimer& timer = Manual(*banner.Timer);
    banner.ShowWarning(QStringLiteral("Конвертер RS485 - нет связи."));
    QVERIFY(banner.isVisible());
    QCOMPARE(timer.Interval(), 10000u);
    QCOMPARE(timer.Starts, 1);
    banner.ShowWarning(QStringLiteral("Экстренная остановка!"));
    QCOMPARE(banner.Panel->text(), QStringLiteral("Экстренная остановка!"));
    QCOMPARE(timer.Starts, 1);
    // One tick of the first count closes it, and a closed banner counts nothing.
    timer.Fire();
    QVERIFY(!banner.isVisible());
    QVERIFY(!timer.Enabled());
    banner.ShowWarning(QStringLiteral("Экстренная остановка!"));
    QCOMPARE(timer.Starts, 2);
  }

  void aKeyOnTheBannerClosesIt() {
    TWarningForm banner(platform_);
    banner.ShowWarning(QStringLiteral("Экстренная остановка!"));
    QTest::keyClick(&banner, Qt::Key_A);
    QVERIFY(!banner.isVisible());
    QVERIFY(!Manual(*banner.Timer).Enabled());
  }

  void theDevicesDialogOpensOnCloseAndEscClosesItWithOk() {
    TExternalWarningForm dialog;
    QCOMPARE(dialog.size(), QSize(342, 291));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Предупреждение"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QWidget* focused = nullptr;
    QTimer::singleShot(0, &dialog, [&] {
      focused = dialog.focusWidget();
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    dialog.ShowDevices({{"0", "ПДУ(Р) [версия: 105]"}, {"FF:0A", "Расширенное ПО управления"}});
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(focused, static_cast<QWidget*>(dialog.CloseBtn));
    QCOMPARE(dialog.List->topLevelItemCount(), 2);
    QCOMPARE(dialog.List->topLevelItem(1)->text(0), QStringLiteral("FF:0A"));
    QCOMPARE(dialog.List->headerItem()->text(1), QStringLiteral("Описание"));
  }

  void theConsolesDialogGoesOnOnlyWithContinue() {
    TPresentWarningForm dialog;
    QCOMPARE(dialog.size(), QSize(379, 288));
    dialog.Label1->setText(QStringLiteral("В сценарии обнаружены неподключенные пульты..."));
    dialog.Memo->setPlainText(QStringLiteral("3, 7"));
    QVERIFY(dialog.Memo->isReadOnly());
    QCOMPARE(dialog.Memo->focusPolicy(), Qt::NoFocus);
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Return); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, &dialog, [&] { dialog.CancelBtn->click(); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  }
};

QTEST_MAIN(WarningFormsTest)
#include "test_warning_forms.moc"
