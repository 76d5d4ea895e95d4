// The sheet: page order and titles, the buttons each page posts, and the
// ways the wizard ends.
#include <gmock/gmock.h>

#include <QLineEdit>
#include <QPushButton>

#include "volume/drive_table.h"
#include "wizard_fixture.h"

namespace quorvane::testing {
namespace {

using ui::CWizardSheet;
using ui::FindControl;

class SheetTest : public WizardFixture {
 protected:
  void SetUp() override { StartWizard(drives_); }
  QPushButton* Button(int id) { return FindControl<QPushButton>(&sheet(), id); }
  // Back, Next and Finish as the user sees them: "-" disabled, "" hidden.
  std::string Buttons() {
    auto state = [](QPushButton* b, const char* name) {
      return std::string(b->isHidden() ? "" : b->isEnabled() ? name : "-");
    };
    return state(Button(CWizardSheet::kBackId), "B") + state(Button(CWizardSheet::kNextId), "N") +
           state(Button(CWizardSheet::kFinishId), "F");
  }
  // Page 3 lets the wizard go on only with a directory to search.
  void SetSearchDirectory() {
    auto* edit = FindControl<QLineEdit>(&launcher_->page3(), 1024);
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(out_.str()));
  }
  DriveTable drives_;
};

TEST_F(SheetTest, EachPageSetsItsButtonsAfterItsActivation) {
  EXPECT_EQ(Buttons(), "-N");
  EXPECT_TRUE(Button(CWizardSheet::kCancelId)->isEnabled());

  const char* titles[] = {"Select directory to place undeleted files",
                          "Undelete File If You Know The Complete File Name",
                          "Select Directory To Search For Undeletable Files", "Undelete File(s)"};
  const char* buttons[] = {"-N", "BN", "BN", "BF"};
  for (int page = 1; page < 4; ++page) {
    if (page == 3) SetSearchDirectory();
    sheet().Next();
    EXPECT_EQ(sheet().ActiveIndex(), page);
    EXPECT_EQ(sheet().windowTitle(), QString::fromLatin1(titles[page]));
    // Posted: the previous page's buttons hold until the events run.
    EXPECT_EQ(Buttons(), buttons[page - 1]);
    QApplication::processEvents();
    EXPECT_EQ(Buttons(), buttons[page]) << "page " << page + 1;
    EXPECT_TRUE(Button(CWizardSheet::kCancelId)->isVisible());
  }
  sheet().Back();
  QApplication::processEvents();
  EXPECT_EQ(sheet().ActiveIndex(), 2);
  EXPECT_EQ(Buttons(), "BN");
}

TEST_F(SheetTest, FinishOnTheLastPageEndsTheWizard) {
  sheet().Next();
  sheet().Next();
  SetSearchDirectory();
  sheet().Next();
  ASSERT_EQ(sheet().ActiveIndex(), 3);
  QApplication::processEvents();
  Click(&sheet(), CWizardSheet::kFinishId);
  EXPECT_FALSE(sheet().isVisible());
  EXPECT_EQ(sheet().result(), QDialog::Accepted);
}

TEST_F(SheetTest, CancelEndsTheWizardFromAnyPage) {
  sheet().Next();
  Click(&sheet(), CWizardSheet::kCancelId);
  EXPECT_FALSE(sheet().isVisible());
  EXPECT_EQ(sheet().result(), QDialog::Rejected);
}

}  // namespace
}  // namespace quorvane::testing
