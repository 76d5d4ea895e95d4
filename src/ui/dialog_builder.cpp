#include "ui/dialog_builder.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>

#include "ui/find_control.h"
#include "ui/progress_ctrl.h"
#include "ui/template_controls.h"

namespace quorvane::ui {
namespace {

using res::ControlKind;
using res::ControlTemplate;
using res::kNoId;
namespace style = res::style;

QWidget* MakeControl(const ControlTemplate& control, QWidget* host) {
  const QString text = QString::fromLatin1(control.text ? control.text : "");
  const bool centre = control.style & style::kCenter;
  switch (control.kind) {
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(text, host);
      button->setDefault(control.style & style::kDefault);
      return button;
    }
    case ControlKind::kGroupBox:
      return new TemplateGroupBox(text, host);
    case ControlKind::kStatic: {
      auto* label = new TemplateLabel(text, host);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(!(control.style & style::kNoWrap));
      label->setAlignment((centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      if (control.style & style::kSunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      return label;
    }
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(host);
      if (centre) edit->setAlignment(Qt::AlignCenter);
      return edit;
    }
    case ControlKind::kCheckBox:
      return new QCheckBox(text, host);
    case ControlKind::kPicture: {
      auto* picture = new QLabel(host);
      picture->setPixmap(ResourcePicture(control.text));
      return picture;
    }
    case ControlKind::kProgressBar:
      return new ProgressCtrl(host);
    case ControlKind::kListView: {
      auto* view = new QTreeView(host);
      view->setRootIsDecorated(false);
      view->setItemsExpandable(false);
      view->setUniformRowHeights(true);
      view->setSortingEnabled(false);
      view->setSelectionBehavior(QAbstractItemView::SelectRows);
      view->setSelectionMode((control.style & style::kMultiSelect)
                                 ? QAbstractItemView::ExtendedSelection
                                 : QAbstractItemView::SingleSelection);
      view->header()->setSectionsMovable(false);
      return view;
    }
  }
  return new QWidget(host);
}

// A static whose text does not fit its box in the dialog font gets a
// slightly smaller font, down to 6 points, so that every word shows.
void FitText(QLabel* label) {
  if (label->text().isEmpty()) return;
  const QRect box = label->contentsRect();
  const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0) |
                    Qt::TextShowMnemonic;
  QFont font = label->font();
  const qreal original = font.pointSizeF();
  for (qreal size = original; size >= 6.0; size -= 0.5) {
    font.setPointSizeF(size);
    const QRect need = QFontMetrics(font).boundingRect(QRect(0, 0, box.width(), 100000), flags,
                                                       label->text());
    if (need.width() <= box.width() && need.height() <= box.height()) break;
  }
  if (font.pointSizeF() != original) label->setFont(font);
}

// The same for a check box: its box and text within its width.
void FitText(QCheckBox* box) {
  QFont font = box->font();
  const qreal original = font.pointSizeF();
  for (qreal size = original; size > 6.0 && box->sizeHint().width() > box->width(); size -= 0.5) {
    font.setPointSizeF(size - 0.5);
    box->setFont(font);
  }
}

bool TakesFocus(const QWidget* widget) {
  return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

}  // namespace

QSize DialogSize(const res::DialogTemplate& dialog, const QFont& font) {
  const DialogUnits units = DialogUnits::FromFont(font);
  return QSize(units.X(dialog.cx), units.Y(dialog.cy));
}

QPixmap ResourcePicture(const char* number) {
  return QPixmap(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(number)));
}

std::vector<QWidget*> BuildDialog(QWidget* host, const res::DialogTemplate& dialog) {
  const QFont font = DialogFont();
  host->setFont(font);
  const DialogUnits units = DialogUnits::FromFont(font);
  host->setFixedSize(units.X(dialog.cx), units.Y(dialog.cy));

  std::vector<QWidget*> controls;
  controls.reserve(dialog.controls.size());
  for (const ControlTemplate& control : dialog.controls) {
    QWidget* widget = MakeControl(control, host);
    const QRect rect = units.Rect(control.x, control.y, control.cx, control.cy);
    if (control.kind == ControlKind::kPicture) {
      // A picture control takes the size of its bitmap.
      widget->setGeometry(QRect(rect.topLeft(), widget->sizeHint()));
    } else {
      widget->setGeometry(rect);
    }
    if (control.kind == ControlKind::kStatic) FitText(static_cast<QLabel*>(widget));
    if (control.kind == ControlKind::kCheckBox) FitText(static_cast<QCheckBox*>(widget));
    if (control.id != kNoId) {
      widget->setObjectName(QString::number(control.id));
      widget->setProperty(kControlIdProperty, control.id);
    }
    // Frames, pictures and texts that report nothing let every click
    // through to the controls they surround or overlap, as a dialog's
    // statics and group boxes do; a group box that comes after its buttons
    // in the template lies above them.
    if (control.kind == ControlKind::kGroupBox || control.kind == ControlKind::kPicture ||
        (control.kind == ControlKind::kStatic && !(control.style & style::kNotify))) {
      widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    widget->setEnabled(!(control.style & style::kDisabled));
    if (control.style & style::kHidden) widget->hide();
    controls.push_back(widget);
  }

  // Tab order is template order; a mnemonic of a text goes to the control
  // the template names, else to the next control that takes the focus.
  QWidget* previous = nullptr;
  for (QWidget* widget : controls) {
    if (!TakesFocus(widget)) continue;
    if (previous) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
  for (size_t i = 0; i < controls.size(); ++i) {
    QWidget* next = nullptr;
    for (size_t j = i + 1; j < controls.size() && !next; ++j) {
      if (TakesFocus(controls[j])) next = controls[j];
    }
    const int buddy = dialog.controls[i].buddy;
    if (buddy != kNoId) {
      for (size_t j = 0; j < controls.size(); ++j) {
        if (dialog.controls[j].id == buddy) next = controls[j];
      }
    }
    if (auto* label = qobject_cast<TemplateLabel*>(controls[i])) {
      if (next) label->setBuddy(next);
    } else if (auto* group = qobject_cast<TemplateGroupBox*>(controls[i])) {
      group->SetBuddy(next);
    }
  }
  return controls;
}

}  // namespace quorvane::ui
