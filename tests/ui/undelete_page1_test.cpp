// The output-directory page: the current directory it shows, its messages,
// relative and absolute directories.
#include <gmock/gmock.h>

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "ui_test_support.h"
#include "volume/drive_table.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;
using ui::FindControl;

constexpr int kEdit = 1024;

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
  DriveTable drives_;
};

TEST_F(Page1Test, EmptyAndMissingDirectoriesAreRefusedWithTheirMessages) {
  const fs::path before = fs::current_path();
  for (const char* typed : {"", "no-such-dir"}) {
    Type(QString::fromLatin1(typed));
    sheet().Next();
    EXPECT_EQ(sheet().ActiveIndex(), 0);
    EXPECT_EQ(Edit()->text(), QString::fromLatin1(typed));
  }
  EXPECT_THAT(boxes_.Texts(),
              ::testing::ElementsAre(QStringLiteral("Please give a directory to place undeleted files."),
                                     QStringLiteral("Directory does not exist !")));
  for (const SeenBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(box.style, 48u);
  }
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(Page1Test, RelativeAndAbsoluteDirectoriesBecomeCurrent) {
  Type(QStringLiteral("sub"));
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(fs::current_path(), out_.path() / "sub");
  sheet().Back();
  EXPECT_EQ(Edit()->text(), QStringLiteral("sub")) << "shown as typed";

  TempDir other;
  Type(QDir::toNativeSeparators(QString::fromStdString(other.str())));
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(fs::current_path(), other.path());
  EXPECT_TRUE(boxes_.boxes().empty());
  fs::current_path(out_.path());  // before `other` goes
}

TEST_F(Page1Test, ShowsAndKeepsACurrentDirectoryOfAnyLength) {
  TearDown();  // the wizard must start in the deep directory
  fs::path deep = out_.path();
  for (int i = 0; i < 12; ++i) deep /= std::string(40, char('a' + i));
  fs::create_directories(deep);
  ASSERT_GT(deep.string().size(), 400u);
  ScopedCurrentDir cwd(deep);
  StartWizard(drives_);
  EXPECT_EQ(Edit()->text(), QString::fromStdString(deep.string()));
  Forward(1);
  EXPECT_EQ(fs::current_path(), deep);
  EXPECT_TRUE(boxes_.boxes().empty());
  TearDown();  // before the current directory goes back
}

}  // namespace
}  // namespace quorvane::testing
