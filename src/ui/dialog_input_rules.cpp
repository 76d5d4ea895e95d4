#include "ui/dialog_input_rules.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace quorvane::ui {
namespace {

bool IsUnusedMnemonic(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  // Control with Alt is AltGr on some keyboards: that types characters.
  return (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) &&
         !key.text().isEmpty();
}

void HandInputOn(QWidget* closed) {
  QPointer<QWidget> owner = closed->parentWidget() ? closed->parentWidget()->window() : nullptr;
  // After the events now waiting: the closed window has left the modal
  // stack by then, and a window manager has had its turn.
  QMetaObject::invokeMethod(
      qApp,
      [owner] {
        if (QApplication::activeWindow()) return;
        QWidget* next = QApplication::activeModalWidget();
        if (!next) next = owner;
        if (next && next->isVisible()) next->activateWindow();
      },
      Qt::QueuedConnection);
}

// True when `window` owns `modal`, directly or further up: the window is
// blocked while `modal` is up.
bool Owns(const QWidget* window, const QWidget* modal) {
  for (const QWidget* owner = modal->parentWidget(); owner; owner = owner->parentWidget()) {
    if (owner->window() == window) return true;
  }
  return false;
}

void HandInputToModal(QWidget* activated) {
  QMetaObject::invokeMethod(
      qApp,
      [activated = QPointer<QWidget>(activated)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (activated && modal && QApplication::activeWindow() == activated &&
            Owns(activated, modal)) {
          modal->activateWindow();
        }
      },
      Qt::QueuedConnection);
}

}  // namespace

bool DialogInputRules::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (IsUnusedMnemonic(*static_cast<const QKeyEvent*>(event))) return true;
      break;
    case QEvent::WindowActivate:
      // A click on a window that a modal window blocks can still make it the
      // active one where no window manager keeps the modal one on top; the
      // keyboard would then reach nothing.
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
        HandInputToModal(static_cast<QWidget*>(watched));
      break;
    case QEvent::Hide:
      if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // (The window system may have taken the activation away already.)
        const QWidget* active = QApplication::activeWindow();
        if (widget->isWindow() && (!active || active == widget)) HandInputOn(widget);
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvane::ui
