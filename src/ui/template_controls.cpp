#include "ui/template_controls.h"

#include <QMouseEvent>

namespace quorvane::ui {

void TemplateLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

bool TemplateGroupBox::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    if (buddy_) buddy_->setFocus(Qt::ShortcutFocusReason);
    return true;
  }
  return QGroupBox::event(event);
}

}  // namespace quorvane::ui
