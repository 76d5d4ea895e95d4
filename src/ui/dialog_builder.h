#pragma once
// Builds a dialog's controls from its template.
#include <QWidget>
#include <vector>

#include "res/dialog_template.h"
#include "ui/dialog_units.h"

namespace quorvane::ui {

// Gives `host` the dialog font and the template's client size, and creates
// the template's controls as children of `host`, placed in dialog units of
// that font, in template order (which is also the tab order). A static's or
// group box's mnemonic moves the focus to the next control that takes it.
// Returns the controls in template order.
std::vector<QWidget*> BuildDialog(QWidget* host, const res::DialogTemplate& dialog);

// The client size of a dialog drawn in `font`, in pixels.
QSize DialogSize(const res::DialogTemplate& dialog, const QFont& font);

// The picture of bitmap or icon `number` ("150", "128") from the resources.
QPixmap ResourcePicture(const char* number);

}  // namespace quorvane::ui
