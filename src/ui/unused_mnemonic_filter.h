#pragma once
// Alt and a letter that no enabled control's mnemonic takes does nothing, as
// in a dialog: it never types the letter into the focused edit or starts a
// list's keyboard search. Mnemonics and shortcuts are matched before a key
// press is delivered, so only the presses that none of them took reach this.
#include <QObject>

namespace quorvane::ui {

class UnusedMnemonicFilter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quorvane::ui
