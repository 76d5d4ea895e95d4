#pragma once
// Two rules of dialog input that Qt leaves to the window system or to the
// program, kept for every window of the program:
// - Alt and a letter that no enabled control's mnemonic takes does nothing:
//   it never types the letter into the focused edit or starts a list's
//   keyboard search. Mnemonics and shortcuts are matched before a key press
//   is delivered, so only the presses that none of them took reach this.
// - When the active window closes and leaves no window of the program
//   active (no window manager hands the input on), the input goes to the
//   topmost modal window, else to the closed window's owner: after a box or
//   a dialog, the keyboard still reaches the wizard. Likewise a window that
//   a modal window blocks, made active by a click, hands the input to it.
#include <QObject>

namespace quorvane::ui {

class DialogInputRules : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quorvane::ui
