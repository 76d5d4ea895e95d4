#include "ui/about_dlg.h"

#include <QPushButton>

#include "res/dialogs/about_dialog.h"
#include "ui/dialog_builder.h"
#include "ui/find_control.h"
#include "ui/home_page.h"

namespace quorvane::ui {

namespace id = res::about_dialog;

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(res::kAboutDialog.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  BuildDialog(this, res::kAboutDialog);
  connect(FindControl<QPushButton>(this, id::kVisitHomePage), &QPushButton::clicked, this,
          &OpenHomePage);
  connect(FindControl<QPushButton>(this, id::kOk), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvane::ui
