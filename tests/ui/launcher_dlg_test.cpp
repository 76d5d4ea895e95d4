// The main window and the about box.
#include <gmock/gmock.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/about_dlg.h"
#include "ui/home_page.h"
#include "ui/launcher_dlg.h"
#include "ui/template_controls.h"
#include "ui_test_support.h"
#include "volume/drive_table.h"

namespace quorvane::testing {
namespace {

using ui::CLauncherDlg;
using ui::FindControl;

// Runs `check` on the about box once it is up, then closes it with O&K.
void WhenAboutBoxIsUp(std::function<void(ui::CAboutDlg&)> check, bool* seen) {
  QTimer::singleShot(0, [check, seen] {
    auto* about = qobject_cast<ui::CAboutDlg*>(QApplication::activeModalWidget());
    if (!about) return;
    *seen = true;
    check(*about);
    Click(about, 1);
  });
}

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_opener_ = ui::SetHomePageOpener([this](const QString& a) { opened_.push_back(a); });
    launcher_.show();
  }
  void TearDown() override { ui::SetHomePageOpener(previous_opener_); }

  DriveTable drives_;
  CLauncherDlg launcher_{drives_};
  ui::HomePageOpener previous_opener_;
  std::vector<QString> opened_;
};

TEST_F(LauncherTest, EscapeAndCloseLeaveTheWindowOpenExitEndsIt) {
  QApplication::setActiveWindow(&launcher_);
  EXPECT_EQ(QApplication::focusWidget(), FindControl<QWidget>(&launcher_, 1025))
      << "Start has the focus when the window opens";
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

TEST_F(LauncherTest, StartMinimisesRunsTheWizardAndItsEndEndsTheWindow) {
  launcher_.hide();
  bool wizard_seen = false;
  QTimer::singleShot(0, [&] { Click(&launcher_, 1025); });
  QTimer::singleShot(50, [&] {
    wizard_seen = launcher_.sheet().isVisible() && launcher_.sheet().isModal() &&
                  launcher_.isMinimized();
    Click(&launcher_.sheet(), ui::CWizardSheet::kCancelId);
  });
  launcher_.exec();  // returns only when the main window has ended
  EXPECT_TRUE(wizard_seen);
  EXPECT_FALSE(launcher_.isVisible());
  EXPECT_EQ(launcher_.result(), QDialog::Accepted);
}

TEST_F(LauncherTest, AboutBoxShowsTheSameContentEachTime) {
  for (int i = 0; i < 2; ++i) {
    bool seen = false;
    QStringList texts;
    WhenAboutBoxIsUp(
        [&](ui::CAboutDlg& about) {
          EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quorvane"));
          for (QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
        },
        &seen);
    Click(&launcher_, 1026);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(texts.contains(QStringLiteral("Quorvane  v1.0")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1.0")));
    EXPECT_TRUE(launcher_.isVisible());
  }
}

TEST_F(LauncherTest, AboutEntryStandsAfterASeparatorAndCommandsSixteenToThirtyOneOpenTheBox) {
  const QList<QAction*> actions = launcher_.SystemMenu()->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.back()->text(), QStringLiteral("&About Quorvane..."));
  EXPECT_EQ(actions.back()->data().toInt(), 16);

  bool seen = false;
  WhenAboutBoxIsUp([](ui::CAboutDlg&) {}, &seen);
  actions.back()->trigger();
  EXPECT_TRUE(seen);

  seen = false;
  WhenAboutBoxIsUp([](ui::CAboutDlg&) {}, &seen);
  launcher_.OnSysCommand(31);
  EXPECT_TRUE(seen);

  seen = false;
  launcher_.OnSysCommand(32);  // no box: nothing to close
  EXPECT_FALSE(seen);
}

TEST_F(LauncherTest, AuthorLineAndVisitHomePageOpenTheSameAddress) {
  auto* line = FindControl<ui::TemplateLabel>(&launcher_, 1031);
  ASSERT_NE(line, nullptr);
  QTest::mouseClick(line, Qt::LeftButton);
  bool seen = false;
  WhenAboutBoxIsUp([](ui::CAboutDlg& about) { Click(&about, 1036); }, &seen);
  Click(&launcher_, 1026);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], QStringLiteral("https://quorvane.example.org/"));
  EXPECT_EQ(opened_[1], opened_[0]);
}

TEST(LauncherIconTest, MinimisedIconIsCentredWithTruncatingRounding) {
  EXPECT_EQ(CLauncherDlg::MinimisedIconOrigin(QSize(160, 28), QSize(32, 32)), QPoint(64, -1));
  EXPECT_EQ(CLauncherDlg::MinimisedIconOrigin(QSize(35, 10), QSize(32, 32)), QPoint(2, -10));
}

}  // namespace
}  // namespace quorvane::testing
