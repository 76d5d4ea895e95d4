#include "ui/wizard/control_tips.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

#include "ui/find_control.h"

namespace quorvane::ui {

ControlTips::ControlTips(QWidget* host, const res::DialogTemplate& dialog, TipText text)
    : QObject(host), host_(host), dialog_(dialog), text_(std::move(text)) {
  host->installEventFilter(this);
}

int ControlTips::HitTest(const QPoint& pos) const {
  for (const res::ControlTemplate& control : dialog_.controls) {
    if (control.id == res::kNoId) continue;
    const QWidget* widget = FindControl(host_, control.id);
    if (widget && widget->isVisibleTo(host_) && widget->geometry().contains(pos)) return control.id;
  }
  return res::kNoId;
}

bool ControlTips::eventFilter(QObject* watched, QEvent* event) {
  if (watched != host_ || event->type() != QEvent::ToolTip) return false;
  auto* help = static_cast<QHelpEvent*>(event);
  const int id = HitTest(help->pos());
  const QString text = id == res::kNoId ? QString() : text_(id);
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QWidget* control = FindControl(host_, id);
    QToolTip::showText(help->globalPos(), text, host_, control->geometry());
  }
  return true;
}

}  // namespace quorvane::ui
