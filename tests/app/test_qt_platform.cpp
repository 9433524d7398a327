#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "app/qt_platform.h"
#include "support/cp1251.h"
#include "support/run_log.h"
#include "support/temp_dir.h"

using fd::app::QtPlatform;

class QtPlatformTest : public QObject {
  Q_OBJECT

 private slots:
  void handOverOnTheGuiThreadRunsAtOnce() {
    QtPlatform platform;
    int runs = 0;
    platform.RunOnUiThread([&] { ++runs; });
    QCOMPARE(runs, 1);
    platform.RunOnUiThread(nullptr);  // an empty function is skipped
  }

  void handOverFromAWorkerWaitsForTheGuiThread() {
    QtPlatform platform;
    QThread* gui = QThread::currentThread();
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    int valueSeenByWorker = 0;
    int value = 0;
    std::thread worker([&] {
      platform.RunOnUiThread([&] {
        ranOn = QThread::currentThread();
        value = 42;
      });
      valueSeenByWorker = value;  // the call returned only after the function ran
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 5000);
    worker.join();
    QCOMPARE(ranOn, gui);
    QCOMPARE(valueSeenByWorker, 42);
  }

  void timerStartsDisabledAndFiresWhileEnabled() {
    QtPlatform platform;
    auto timer = platform.CreateTimer();
    QVERIFY(!timer->Enabled());
    timer->SetInterval(20);
    QCOMPARE(timer->Interval(), 20u);
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    QTest::qWait(80);
    QCOMPARE(ticks, 0);

    timer->SetEnabled(true);
    QVERIFY(timer->Enabled());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 2000);

    timer->SetEnabled(false);
    QVERIFY(!timer->Enabled());
    const int stoppedAt = ticks;
    QTest::qWait(80);
    QCOMPARE(ticks, stoppedAt);
  }

  void timerWithoutHandlerIsHarmless() {
    QtPlatform platform;
    auto timer = platform.CreateTimer();
    timer->SetInterval(5);
    timer->SetEnabled(true);
    QTest::qWait(30);
    QVERIFY(timer->Enabled());
  }

  void processPendingEventsRunsQueuedWork() {
    QtPlatform platform;
    bool ran = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
    QVERIFY(!ran);
    platform.ProcessPendingEvents();
    QVERIFY(ran);
  }

  void clockFollowsRealTime() {
    QtPlatform platform;
    const uint32_t start = platform.GetClock().TickCount();
    platform.GetClock().Sleep(30);
    QVERIFY(platform.GetClock().TickCount() - start >= 30);
  }

  void messageBoxIsModalWithOneOkButton() {
    QtPlatform platform;
    QString title, text;
    int buttons = -1;
    bool wasModal = false;
    QTimer::singleShot(50, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      wasModal = box->isModal();
      title = box->windowTitle();
      text = box->text();
      buttons = static_cast<int>(box->buttons().size());
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    });
    // Should the box not be found, it is closed all the same, so that the test ends.
    QTimer::singleShot(3000, [] {
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    platform.ShowMessage("Изменения вступят в силу после перезагрузки программы.", "Предупреждение");
    QVERIFY(wasModal);
    QCOMPARE(title, QString("Предупреждение"));
    QCOMPARE(text, QString("Изменения вступят в силу после перезагрузки программы."));
    QCOMPARE(buttons, 1);
  }

  // A failure's record is a line of the run log of its own beside the box's shorter text; once the
  // program is ending (--quit-after) no box opens for it any more.
  void failureIsLoggedWithItsReasonAndNoBoxOpensOnceStopped() {
    QTemporaryDir dir;
    const std::string log = dir.filePath("run.log").toStdString();
    fd::support::ResetRunLog();
    fd::support::SetLogFileName(log);
    fd::support::SetDebugOutput(nullptr);
    fd::support::LogLevel = 1;
    QtPlatform platform;
    QString boxText;
    QTimer::singleShot(50, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxText = box->text();
        box->close();
      }
    });
    platform.ShowFailure("Ошибка загрузки фонограммы", "Ошибка", "Ошибка загрузки фонограммы: не обычный файл");
    QCOMPARE(boxText, QString("Ошибка загрузки фонограммы"));

    platform.StopShowingMessages();
    bool boxOpened = false;
    QTimer::singleShot(3000, [&] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        boxOpened = true;
        w->close();
      }
    });
    QElapsedTimer took;
    took.start();
    platform.ShowFailure("Ошибка загрузки фонограммы", "Ошибка", "Ошибка загрузки фонограммы: слишком длинная");
    QVERIFY(took.elapsed() < 1000);
    QVERIFY(!boxOpened);
    QCOMPARE(platform.FailuresShown(), 2);
    fd::support::ResetRunLog();

    const std::string lines = fd::support::Cp1251ToUtf8(fd::support::testing::ReadBytes(log));
    QVERIFY2(lines.find(": Ошибка загрузки фонограммы: не обычный файл\r\n") != std::string::npos, lines.c_str());
    QVERIFY2(lines.find(": Ошибка загрузки фонограммы: слишком длинная\r\n") != std::string::npos, lines.c_str());
  }
};

QTEST_MAIN(QtPlatformTest)
#include "test_qt_platform.moc"
