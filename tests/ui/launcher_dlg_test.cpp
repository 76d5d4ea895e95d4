// The main window: it ends only by Exit or the wizard's end; the about box
// from the system menu. (Start and the wizard's end: tests/e2e.)
#include <gmock/gmock.h>

#include <QMenu>
#include <QTest>
#include <QTimer>

#include "res/dialogs/about_dialog.h"
#include "res/dialogs/launcher_dialog.h"
#include "ui/about_dlg.h"
#include "ui_test_support.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {
namespace {

TEST(LauncherTest, EndsOnlyByExitAndItsSystemMenuOpensTheAboutBox) {
  DriveTable drives;
  ui::CLauncherDlg launcher(drives);
  launcher.show();
  // Command 16 of the system menu: the about box, closed by its OK.
  QString about_title;
  QTimer::singleShot(0, [&] {
    if (auto* about = qobject_cast<ui::CAboutDlg*>(QApplication::activeModalWidget())) {
      about_title = about->windowTitle();
      Click(about, res::about_dialog::kOk);
    }
  });
  launcher.SystemMenu()->actions().back()->trigger();
  EXPECT_EQ(about_title, QStringLiteral("About Quorvane"));

  QApplication::setActiveWindow(&launcher);
  QTest::keyClick(&launcher, Qt::Key_Escape);
  launcher.close();
  launcher.SystemMenu()->actions()[1]->trigger();  // Close
  EXPECT_TRUE(launcher.isVisible()) << "Escape, close or Close ended the main window";
  Click(&launcher, res::launcher_dialog::kExit);
  EXPECT_FALSE(launcher.isVisible());
  EXPECT_EQ(launcher.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace quorvane::testing
