#include <QCloseEvent>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "app/session_automation.h"

using fd::app::SessionAutomation;

namespace {

// A window that counts close requests and may refuse them.
class Window : public QWidget {
 public:
  int CloseRequests = 0;
  bool Refuse = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++CloseRequests;
    if (Refuse)
      event->ignore();
    else
      event->accept();
  }
};

}  // namespace

class SessionAutomationTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void pictureAfterTheDelay() {
    Window window;
    window.resize(320, 200);
    window.show();
    const QString path = dir_.filePath("window.png");
    SessionAutomation automation(&window, path, 100, -1);
    automation.Start();
    QVERIFY(automation.ScreenshotPending());
    QTest::qWait(20);
    QVERIFY(!QFileInfo::exists(path));
    QTRY_VERIFY_WITH_TIMEOUT(automation.ScreenshotWritten(), 3000);
    const QImage image(path);
    QCOMPARE(image.size(), QSize(320, 200));
    QVERIFY(!automation.ScreenshotFailed());
    QVERIFY(window.isVisible());
    QCOMPARE(window.CloseRequests, 0);
  }

  // The quit time also ends a message box the program waits on (a soundtrack that failed to load
  // at start-up), which would otherwise hold the run open for good.
  void quitClosesThroughTheWindow_data() {
    QTest::addColumn<bool>("messageOpen");
    QTest::newRow("window alone") << false;
    QTest::newRow("message box waiting") << true;
  }
  void quitClosesThroughTheWindow() {
    QFETCH(bool, messageOpen);
    Window window;
    window.show();
    SessionAutomation automation(&window, QString(), 1500, 50);
    automation.Start();
    bool messageReturned = false;
    if (messageOpen) {
      QMessageBox box(QMessageBox::Critical, "Ошибка", "Ошибка загрузки фонограммы", QMessageBox::Ok, &window);
      box.exec();  // returns only when something closes it
      messageReturned = true;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 3000);
    QCOMPARE(window.CloseRequests, 1);
    QCOMPARE(messageReturned, messageOpen);
  }

  void refusedCloseKeepsTheWindow() {
    Window window;
    window.Refuse = true;
    window.show();
    SessionAutomation automation(&window, QString(), 0, 20);
    automation.Start();
    QTRY_COMPARE_WITH_TIMEOUT(window.CloseRequests, 1, 3000);
    QVERIFY(window.isVisible());
  }

  void earlyQuitStillTakesThePicture() {
    Window window;
    window.resize(200, 100);
    window.show();
    const QString path = dir_.filePath("early.png");
    SessionAutomation automation(&window, path, 5000, 30);
    automation.Start();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 3000);
    QVERIFY(automation.ScreenshotWritten());
    QVERIFY(!automation.ScreenshotPending());
    QVERIFY(!QImage(path).isNull());
  }

  void unwritablePathIsReported() {
    Window window;
    window.show();
    SessionAutomation automation(&window, dir_.filePath("missing/folder/shot.png"), 0, -1);
    automation.Start();
    QTRY_VERIFY_WITH_TIMEOUT(!automation.ScreenshotPending(), 3000);
    QVERIFY(automation.ScreenshotFailed());
    QVERIFY(!automation.ScreenshotWritten());
  }

  void nothingAskedNothingDone() {
    Window window;
    window.show();
    SessionAutomation automation(&window, QString(), 0, -1);
    automation.Start();
    QVERIFY(!automation.ScreenshotPending());
    QTest::qWait(50);
    QVERIFY(window.isVisible());
    QCOMPARE(window.CloseRequests, 0);
    QVERIFY(!automation.ScreenshotFailed());
  }
};

QTEST_MAIN(SessionAutomationTest)
#include "test_session_automation.moc"
