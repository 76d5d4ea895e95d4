#pragma once
// Tooltips given by control identifier, as a dialog that answers the
// tooltip's request for text does: the tip over a point belongs to the first
// visible control in template order whose rectangle holds it, enabled or
// not; controls without an identifier are passed over. A group box with an
// identifier thus gives its tip over the controls placed inside it.
#include <QObject>
#include <QString>
#include <functional>

#include "res/dialog_template.h"

class QWidget;

namespace quorvane::ui {

class ControlTips final : public QObject {
  Q_OBJECT

 public:
  // The text for a control identifier; empty for no tip.
  using TipText = std::function<QString(int id)>;

  // Answers tooltip requests that reach `host` (a dialog built from
  // `dialog`); the controls themselves have no tips of their own, so every
  // request over them comes up to the host.
  ControlTips(QWidget* host, const res::DialogTemplate& dialog, TipText text);

  // The identifier of the control whose tip shows at `pos` (host
  // coordinates), or kNoId.
  int HitTest(const QPoint& pos) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* host_;
  const res::DialogTemplate& dialog_;
  TipText text_;
};

}  // namespace quorvane::ui
