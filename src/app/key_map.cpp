// The keyboard: every key press of the program that no enabled action took comes here first, and
// the operator runs the whole show with these keys.
#include <QApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include "app/main_form.h"
#include "app/warning_form.h"
#include "show/operating_mode.h"
#include "support/run_log.h"

namespace fd::app {

namespace {

// Only the key counts, as on the console's original keyboard handling: Shift, Ctrl and Alt are not
// looked at, so Shift+F1 with the launch mode action disabled is F1.
int KeyOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Enter:
      return Qt::Key_Return;
    case Qt::Key_Backtab:
      return Qt::Key_Tab;
    default:
      return event.key();
  }
}

bool ClickIfEnabled(QPushButton* button) {
  if (!button->isEnabled()) return false;
  button->click();
  return true;
}

bool ToggleIfEnabled(QPushButton* button) {
  if (!button->isEnabled()) return false;
  // setChecked alone: the click handler runs once, from the key handler, as for a mouse click.
  button->setChecked(!button->isChecked());
  return true;
}

class KeyRouter : public QObject {
 public:
  explicit KeyRouter(TMainForm* form) : form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      if (!event->spontaneous()) ReturnKeyboardAfterDialog(watched);
      return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
      // The actions are offered the key first; their enabled state must be today's.
      form_->ActionListUpdate();
      return false;
    }
    if (event->type() == QEvent::KeyRelease) {
      // A new press always follows a release, even when it reuses the old event's memory.
      lastEvent_ = nullptr;
      lastReceiver_ = nullptr;
      return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The platform window sees the key before its widget does, and an unhandled key travels up
    // through the widget's parents: one key, one visit.
    if (widget == nullptr) return false;
    if (event == lastEvent_ && lastReceiver_ != nullptr && widget != lastReceiver_ &&
        widget->isAncestorOf(lastReceiver_)) {
      lastReceiver_ = widget;
      return false;
    }
    lastEvent_ = event;
    lastReceiver_ = widget;

    // A key pressed in a dialog belongs to the dialog, and while the progress window writes or
    // verifies, nothing new starts; either way the red banner still goes on a key.
    if (QApplication::activeModalWidget() != nullptr || form_->MemoryWorkRunning() || !OursToHandle(widget)) {
      if (WarningForm != nullptr && WarningForm->isVisible()) WarningForm->close();
      return false;
    }
    // Shift+F10 is the quick search; the other keys are known by the key alone.
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
      if (WarningForm != nullptr && WarningForm->isVisible()) WarningForm->close();
      if (form_->QuickSearchKey()) return true;
    }
    bool handled = false;
    form_->ApplicationEventsShortCut(KeyOf(*key), handled);
    return handled;
  }

 private:
  // A dialog over one of our windows that closes hands the keyboard back to that window. Without a
  // window manager (a bare X server, the offscreen platform) nothing else would, and the
  // operator's next key would go to the closed dialog or nowhere.
  void ReturnKeyboardAfterDialog(QObject* watched) const {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog == nullptr || !dialog->isWindow() || dialog->parentWidget() == nullptr) return;
    QWidget* owner = dialog->parentWidget()->window();
    if (OursToHandle(owner) && owner->isVisible()) owner->activateWindow();
  }

  // Keys typed into the main window or the banner; other windows of the program keep theirs.
  bool OursToHandle(const QWidget* widget) const {
    const QWidget* window = widget->window();
    return window == form_ || window == WarningForm;
  }

  TMainForm* form_;
  const QEvent* lastEvent_ = nullptr;
  QWidget* lastReceiver_ = nullptr;
};

}  // namespace

void TMainForm::InstallKeyRouter() {
  auto router = std::make_unique<KeyRouter>(this);
  qApp->installEventFilter(router.get());
  keyRouter_ = std::move(router);
}

void TMainForm::ApplicationEventsShortCut(int key, bool& handled) {
  if (WarningForm != nullptr && WarningForm->isVisible()) WarningForm->close();
  // Nothing starts while a soundtrack decodes.
  if (SoundLoading) {
    handled = true;
    return;
  }

  if (key == Qt::Key_Tab && ToggleIfEnabled(TestBtn)) {
    TestBtnClick();
    handled = true;
  } else if (key == Qt::Key_F10 && ToggleIfEnabled(SearchBtn)) {
    SearchBtnClick();
    handled = true;
  }

  // A Tab just handled has already switched the view.
  if (IsTestView())
    TestViewKey(key, handled);
  else
    LaunchViewKey(key, handled);
}

void TMainForm::TestViewKey(int key, bool& handled) {
  QPushButton* button = nullptr;
  switch (key) {
    case Qt::Key_Up:
      button = UpBtn;
      break;
    case Qt::Key_Down:
      button = DownBtn;
      break;
    case Qt::Key_F1:
      button = ControlTestBtn;
      break;
    case Qt::Key_F2:
      button = TestAllBtn;
      break;
    case Qt::Key_F3:
      button = TestStopBtn;
      break;
    default:
      return;
  }
  if (ClickIfEnabled(button)) handled = true;
}

void TMainForm::LaunchViewKey(int key, bool& handled) {
  const uint8_t mode = show::OperatingMode;
  switch (key) {
    case Qt::Key_Return: {
      // Never marked handled: the list sees Enter too.
      if (mode == show::omLaunch || IsPlaying()) return;
      const QModelIndexList selected = List->selectionModel()->selectedRows();
      if (selected.isEmpty()) return;
      const int index = selected.first().row();
      if (index < 0 || index >= Project->Count()) return;
      const int32_t time = Project->Items(index).TimeMs;
      Player->Clock = time;
      Player->NextCue = index;
      PlayerProgress(time);
      return;
    }
    case Qt::Key_Escape:
      if (mode == show::omWait) {
        if (Searching && ToggleIfEnabled(SearchBtn)) {
          SearchBtnClick();
          handled = true;
        }
      } else if (mode == show::omReady) {
        ChangeOperatingMode(show::omWait, nullptr);
        handled = true;
      } else if (mode == show::omLaunch) {
        StopBtnClick();
        handled = true;
      }
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
      // The cue selection stays where the show is.
      if (mode == show::omLaunch) handled = true;
      return;
    case Qt::Key_F1:
      if (Testing || Searching || IsPlaying()) return;
      if (mode == show::omWait) {
        ChangeOperatingMode(show::omReady, "Переключение режима: ГОТОВНОСТЬ");
        handled = true;
      } else if (mode == show::omReady) {
        ChangeOperatingMode(show::omWait, "Переключение режима: ОЖИДАНИЕ");
        handled = true;
      }
      return;
    case Qt::Key_F2:
      if (ClickIfEnabled(ProjectBtn)) handled = true;
      return;
    case Qt::Key_F3:
      if (ClickIfEnabled(SoundBtn)) handled = true;
      return;
    case Qt::Key_F4:
      if (BeginBtn->isEnabled()) {
        BeginBtnClick();
        handled = true;
      }
      return;
    case Qt::Key_F5:
      if (StartBtn->isEnabled()) {
        StartBtnClick();
        handled = true;
        // Only a show that really runs is logged as started; a chased one waits for its timecode.
        if (IsPlaying())
          support::WriteLog("Переключение режима: ЗАПУСК", 1);
        else if (ShowArmed())
          support::WriteLog("Переключение режима: ЗАПУСК (ожидание таймкода)", 1);
      }
      return;
    case Qt::Key_F6:
      if (StopBtn->isEnabled()) {
        StopBtnClick();
        support::WriteLog("Переключение режима: СТОП", 1);
        handled = true;
      }
      return;
    case Qt::Key_F7:
      if (ChaseKey()) handled = true;
      return;
    case Qt::Key_F8:
      if (ClickIfEnabled(SaveBtn)) handled = true;
      return;
    case Qt::Key_F9:
      if (ClickIfEnabled(CheckBtn)) handled = true;
      return;
    default:
      return;
  }
}

}  // namespace fd::app
