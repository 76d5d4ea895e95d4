#pragma once
// The widgets that stand for a template's static texts and group boxes.
#include <QGroupBox>
#include <QLabel>
#include <QPointer>

namespace quorvane::ui {

// A static text. With the notify style it reports clicks.
class TemplateLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A group box whose mnemonic moves the focus to the next control in tab
// order, as a dialog's group box does (its controls are not its children).
class TemplateGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;
  void SetBuddy(QWidget* buddy) { buddy_ = buddy; }

 protected:
  bool event(QEvent* event) override;

 private:
  QPointer<QWidget> buddy_;
};

}  // namespace quorvane::ui
