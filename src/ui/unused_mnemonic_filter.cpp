#include "ui/unused_mnemonic_filter.h"

#include <QKeyEvent>

namespace quorvane::ui {

bool UnusedMnemonicFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    // Control with Alt is AltGr on some keyboards: that types characters.
    if ((modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) &&
        !key->text().isEmpty()) {
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvane::ui
