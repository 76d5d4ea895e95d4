// The output-directory page: the current directory it shows, its messages,
// relative and absolute directories, the folder chooser, the NT question.
#include <gmock/gmock.h>

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "ui/wizard/folder_chooser.h"
#include "volume/drive_table.h"
#include "wizard_fixture.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;
using ui::FindControl;

constexpr int kEdit = 1024, kBrowse = 1015;

class Page1Test : public WizardFixture {
 protected:
  void SetUp() override {
    fs::create_directory(out_.path() / "sub");
    StartWizard(drives_);
  }
  QLineEdit* Edit() { return FindControl<QLineEdit>(&launcher_->page1(), kEdit); }
  void Type(const QString& text) {
    Edit()->clear();
    QTest::keyClicks(Edit(), text);
  }
  static QString Native(const fs::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
  }

  DriveTable drives_;
};

TEST_F(Page1Test, ShowsTheCurrentDirectoryAndAsksNothingHere) {
  EXPECT_EQ(Edit()->text(), Native(fs::current_path()));
  EXPECT_TRUE(boxes_.boxes().empty()) << "the NT question belongs to NT-family systems only";
  EXPECT_EQ(sheet().windowTitle(), QStringLiteral("Select directory to place undeleted files"));
}

TEST_F(Page1Test, EmptyTextIsRefusedWithItsMessage) {
  Type(QString());
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 0);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            QStringLiteral("Please give a directory to place undeleted files."));
  EXPECT_EQ(boxes_.boxes()[0].caption, QStringLiteral("Quorvane"));
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
  EXPECT_EQ(Edit()->text(), QString());
}

TEST_F(Page1Test, MissingDirectoryIsRefusedAndTheCurrentOneStays) {
  const fs::path before = fs::current_path();
  Type(QStringLiteral("no-such-dir"));
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 0);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, QStringLiteral("Directory does not exist !"));
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_EQ(Edit()->text(), QStringLiteral("no-such-dir"));
}

TEST_F(Page1Test, RelativeDirectoryBecomesCurrentAndBackShowsItAsTyped) {
  Type(QStringLiteral("sub"));
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(fs::current_path(), out_.path() / "sub");
  EXPECT_TRUE(boxes_.boxes().empty());

  sheet().Back();
  EXPECT_EQ(sheet().ActiveIndex(), 0);
  EXPECT_EQ(Edit()->text(), QStringLiteral("sub"));
}

TEST_F(Page1Test, AbsoluteDirectoryBecomesCurrent) {
  TempDir other;
  Type(Native(other.path()));
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(fs::current_path(), other.path());
  fs::current_path(out_.path());  // before `other` goes
}

TEST_F(Page1Test, BrowseChangesDirectoryAtOnceAndCancelRestoresTheEdit) {
  QString next_choice = Native(out_.path() / "sub");
  QString title;
  const ui::FolderChooser previous =
      ui::SetFolderChooser([&](QWidget*, const QString& t) {
        title = t;
        return next_choice;
      });
  Click(&launcher_->page1(), kBrowse);
  EXPECT_EQ(title, QStringLiteral("<< Select directory to place undeleted files >>"));
  EXPECT_EQ(fs::current_path(), out_.path() / "sub");
  EXPECT_EQ(Edit()->text(), Native(out_.path() / "sub"));

  Type(QStringLiteral("typed but not confirmed"));
  next_choice.clear();  // cancelled
  Click(&launcher_->page1(), kBrowse);
  EXPECT_EQ(Edit()->text(), Native(out_.path() / "sub"));
  ui::SetFolderChooser(previous);
}

TEST(Page1LongPathTest, ReadsACurrentDirectoryOfAnyLength) {
  BoxWatcher boxes;
  TempDir root;
  fs::path deep = root.path();
  for (int i = 0; i < 12; ++i) deep /= std::string(40, char('a' + i));
  fs::create_directories(deep);
  ASSERT_GT(deep.string().size(), 400u);
  ScopedCurrentDir cwd(deep);
  DriveTable drives;
  ui::CLauncherDlg launcher(drives);
  launcher.PrepareWizard();
  launcher.sheet().Begin();
  auto* edit = FindControl<QLineEdit>(&launcher.page1(), kEdit);
  EXPECT_EQ(edit->text(), QString::fromStdString(deep.string()));
  launcher.sheet().Next();
  EXPECT_EQ(launcher.sheet().ActiveIndex(), 1);
  EXPECT_EQ(fs::current_path(), deep);
  launcher.sheet().reject();
}

class NtQuestionTest : public WizardFixture {
 protected:
  void SetUp() override {
    previous_ = ui::CUndeletePage1::SetNtFamilyQuery([] { return true; });
  }
  void TearDown() override {
    WizardFixture::TearDown();
    ui::CUndeletePage1::SetNtFamilyQuery(previous_);
  }
  ui::CUndeletePage1::SystemQuery previous_;
  DriveTable drives_;
};

TEST_F(NtQuestionTest, NoEndsTheWizardAndYesGoesOn) {
  boxes_.AnswerYesNo(QMessageBox::No);
  StartWizard(drives_);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            QStringLiteral("Quorvane cannot undelete files deleted by Windows NT/2000/XP\n"
                           "Do you want to proceed ?"));
  EXPECT_EQ(boxes_.boxes()[0].style, 68u);
  EXPECT_TRUE(boxes_.boxes()[0].buttons.testFlag(QMessageBox::Yes));
  EXPECT_TRUE(boxes_.boxes()[0].buttons.testFlag(QMessageBox::No));
  EXPECT_TRUE(WaitFor([&] { return !sheet().isVisible(); }));
  EXPECT_EQ(sheet().result(), QDialog::Rejected);
  // The edit already showed the current directory when the question came.
  EXPECT_EQ(FindControl<QLineEdit>(&launcher_->page1(), kEdit)->text(),
            QDir::toNativeSeparators(QDir::currentPath()));

  TearDown();
  boxes_.AnswerYesNo(QMessageBox::Yes);
  previous_ = ui::CUndeletePage1::SetNtFamilyQuery([] { return true; });
  StartWizard(drives_);
  QTest::qWait(50);
  EXPECT_TRUE(sheet().isVisible());
  EXPECT_EQ(boxes_.boxes().size(), 2u);
}

}  // namespace
}  // namespace quorvane::testing
