// The buttons each page posts, and Finish ending the wizard.
#include <gmock/gmock.h>

#include <QPushButton>

#include "res/dialogs/search_setup_page.h"
#include "ui_test_support.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {
namespace {

using ui::CWizardSheet;

class SheetTest : public WizardFixture {
 protected:
  QPushButton* Button(int id) { return ui::FindControl<QPushButton>(&sheet(), id); }
  // Back, Next and Finish as the user sees them: "-" disabled, "" hidden.
  std::string Buttons() {
    auto state = [](QPushButton* b, const char* name) {
      return std::string(b->isHidden() ? "" : b->isEnabled() ? name : "-");
    };
    return state(Button(CWizardSheet::kBackId), "B") + state(Button(CWizardSheet::kNextId), "N") +
           state(Button(CWizardSheet::kFinishId), "F");
  }
  DriveTable drives_;
};

TEST_F(SheetTest, EachPageSetsItsButtonsAfterItsActivationAndFinishEnds) {
  StartWizard(drives_);
  EXPECT_EQ(Buttons(), "-N");
  const char* buttons[] = {"-N", "BN", "BN", "BF"};
  for (int page = 1; page < 4; ++page) {
    if (page == 3)  // page 3 goes on only with a directory to search
      Type(&launcher_->page3(), res::search_setup_page::kDirectory,
           QString::fromStdString(out_.str()));
    sheet().Next();
    if (page == 3) {
      // Page 3 moves on when the check of its directory, on a worker, has ended.
      ASSERT_TRUE(WaitFor([&] { return sheet().ActiveIndex() == page; }));
    } else {
      EXPECT_EQ(sheet().ActiveIndex(), page);
      // Posted: the previous page's buttons hold until the events run.
      EXPECT_EQ(Buttons(), buttons[page - 1]);
    }
    QApplication::processEvents();
    EXPECT_EQ(Buttons(), buttons[page]) << "page " << page + 1;
    EXPECT_TRUE(Button(CWizardSheet::kCancelId)->isEnabled());
  }
  sheet().Back();
  QApplication::processEvents();
  EXPECT_EQ(Buttons(), "BN");
  Forward(1);
  Click(&sheet(), CWizardSheet::kFinishId);
  EXPECT_FALSE(sheet().isVisible());
  EXPECT_EQ(sheet().result(), QDialog::Accepted);
}

}  // namespace
}  // namespace quorvane::testing
