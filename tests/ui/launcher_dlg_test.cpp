// The main window: it ends only by Exit or the wizard's end; the about box
// from the system menu. (Start and the wizard's end: tests/e2e.)
#include <gmock/gmock.h>

#include <QMenu>
#include <QTest>
#include <QTimer>

#include "ui/about_dlg.h"
#include "ui_test_support.h"
#include "volume/drive_table.h"

namespace quorvane::testing {
namespace {

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override { launcher_.show(); }
  DriveTable drives_;
  ui::CLauncherDlg launcher_{drives_};
};

TEST_F(LauncherTest, EscapeAndCloseLeaveTheWindowOpenExitEndsIt) {
  QApplication::setActiveWindow(&launcher_);
  QTest::keyClick(&launcher_, Qt::Key_Escape);
  EXPECT_TRUE(launcher_.isVisible());
  launcher_.close();
  EXPECT_TRUE(launcher_.isVisible());
  launcher_.SystemMenu()->actions()[1]->trigger();  // Close
  EXPECT_TRUE(launcher_.isVisible());
  Click(&launcher_, 1);
  EXPECT_FALSE(launcher_.isVisible());
  EXPECT_EQ(launcher_.result(), QDialog::Accepted);
}

TEST_F(LauncherTest, SystemMenuCommandSixteenOpensTheAboutBox) {
  QAction* about_entry = launcher_.SystemMenu()->actions().back();
  EXPECT_EQ(about_entry->data().toInt(), 16);
  QString title;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<ui::CAboutDlg*>(QApplication::activeModalWidget());
    if (!about) return;
    title = about->windowTitle();
    Click(about, 1);
  });
  about_entry->trigger();
  EXPECT_EQ(title, QStringLiteral("About Quorvane"));
  EXPECT_TRUE(launcher_.isVisible());
}

}  // namespace
}  // namespace quorvane::testing
