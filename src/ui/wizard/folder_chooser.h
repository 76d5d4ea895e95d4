#pragma once
// The folder chooser of the directory pages: returns the chosen directory,
// or an empty text when the user cancels. Tests put their own in its place.
#include <QString>
#include <QWidget>
#include <functional>

namespace quorvane::ui {

QString ChooseFolder(QWidget* owner, const QString& title);

using FolderChooser = std::function<QString(QWidget* owner, const QString& title)>;
// Returns the previous chooser.
FolderChooser SetFolderChooser(FolderChooser chooser);

}  // namespace quorvane::ui
