#pragma once
// The folder chooser of the output-directory page: returns the chosen
// directory, or an empty text when the user cancels.
#include <QString>

class QWidget;

namespace quorvane::ui {

QString ChooseFolder(QWidget* owner, const QString& title);

}  // namespace quorvane::ui
