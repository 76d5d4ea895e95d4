#pragma once
// The about box: dialog 100. A fresh one for each request.
#include <QDialog>

namespace quorvane::ui {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quorvane::ui
