#pragma once
// Finding a dialog's control by its identifier. A control built from a
// template carries its identifier as object name ("1021") and as the
// property "controlId".
#include <QString>
#include <QWidget>

namespace quorvane::ui {

inline constexpr char kControlIdProperty[] = "controlId";

template <typename T = QWidget>
T* FindControl(const QWidget* root, int id) {
  return root->findChild<T*>(QString::number(id));
}

}  // namespace quorvane::ui
