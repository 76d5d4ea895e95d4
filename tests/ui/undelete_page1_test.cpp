// The output-directory page: the current directory it shows, its messages,
// relative and absolute directories.
#include <gmock/gmock.h>

#include <QDir>
#include <QLineEdit>
#include <filesystem>

#include "res/dialogs/output_dir_page.h"
#include "ui_test_support.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;
using res::output_dir_page::kDirectory;

class Page1Test : public WizardFixture {
 protected:
  void SetUp() override { StartWizard(drives_); }
  QString Shown() { return ui::FindControl<QLineEdit>(&launcher_->page1(), kDirectory)->text(); }
  DriveTable drives_;
};

TEST_F(Page1Test, NextMakesAnExistingDirectoryCurrentAndRefusesTheRest) {
  fs::create_directory(out_.path() / "sub");
  TempDir other;
  struct Case {
    QString typed;
    fs::path current;     // empty: refused
    const char* message;  // the refusal's
  };
  const Case cases[] = {
      {"", {}, "Please give a directory to place undeleted files."},
      {"no-such-dir", {}, "Directory does not exist !"},
      {"sub", out_.path() / "sub", nullptr},
      {QDir::toNativeSeparators(QString::fromStdString(other.str())), other.path(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    const fs::path before = fs::current_path();
    const size_t boxes_before = boxes_.boxes().size();
    Type(&launcher_->page1(), kDirectory, c.typed);
    sheet().Next();
    if (c.current.empty()) {
      EXPECT_EQ(sheet().ActiveIndex(), 0);
      EXPECT_EQ(fs::current_path(), before);
      ASSERT_EQ(boxes_.boxes().size(), boxes_before + 1);
      EXPECT_EQ(boxes_.boxes().back().text, QString::fromLatin1(c.message));
      EXPECT_EQ(boxes_.boxes().back().caption, QStringLiteral("Quorvane"));
      EXPECT_EQ(boxes_.boxes().back().style, 48u);
    } else {
      ASSERT_EQ(sheet().ActiveIndex(), 1);
      EXPECT_EQ(fs::current_path(), c.current);
      EXPECT_EQ(boxes_.boxes().size(), boxes_before);
      sheet().Back();
    }
    EXPECT_EQ(Shown(), c.typed) << "shown as typed";
  }
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
  EXPECT_EQ(Shown(), QString::fromStdString(deep.string()));
  Forward(1);
  EXPECT_EQ(fs::current_path(), deep);
  EXPECT_TRUE(boxes_.boxes().empty());
  TearDown();  // before the current directory goes back
}

}  // namespace
}  // namespace quorvane::testing
