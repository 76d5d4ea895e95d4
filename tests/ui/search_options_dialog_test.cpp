// The search options dialog: its checks at OK in their order, its length
// limits, its tooltips by hit test.
#include <gmock/gmock.h>

#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <functional>

#include "ui/wizard/search_options_dlg.h"
#include "ui_test_support.h"
#include "recovery/message_box_host.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ui::FindControl;

constexpr int kNameEdit = 1041, kExtEdit = 1042, kDirCheck = 1043, kDirEdit = 1044, kOk = 1;

class SearchOptionsTest : public ::testing::Test {
 protected:
  // Runs the dialog modally; `during` acts on it once it is up. A dialog
  // still open afterwards is cancelled, so that a failing test ends.
  int Run(const std::function<void()>& during) {
    QTimer::singleShot(0, [&] {
      during();
      if (dialog_.isVisible()) dialog_.reject();
    });
    return dialog_.DoModal();
  }
  void Type(int id, const QString& text) {
    FindControl<QLineEdit>(&dialog_, id)->clear();
    QTest::keyClicks(FindControl<QLineEdit>(&dialog_, id), text);
  }
  void PressOk() { QTest::mouseClick(FindControl<QPushButton>(&dialog_, kOk), Qt::LeftButton); }

  BoxWatcher boxes_;
  ui::CSearchOptionsDlg dialog_;
};

TEST_F(SearchOptionsTest, OkChecksExtensionThenNameThenDeletedDirectoryAndEditsAreLimited) {
  dialog_.m_bDeletedDirsEnabled = 1;
  dialog_.m_bNameFilter = dialog_.m_bExtFilter = dialog_.m_bDeletedDirFilter = 1;
  std::vector<bool> open_after_each;
  const int result = Run([&] {
    PressOk();
    open_after_each.push_back(dialog_.isVisible());
    Type(kExtEdit, QStringLiteral("TXTX"));
    PressOk();
    open_after_each.push_back(dialog_.isVisible());
    Type(kNameEdit, QStringLiteral("ABCDEFGHIJ"));
    PressOk();
    open_after_each.push_back(dialog_.isVisible());
    Type(kDirEdit, QStringLiteral("123456789"));
    PressOk();
  });
  EXPECT_EQ(result, quorvane::kIdOk);
  EXPECT_THAT(open_after_each, ElementsAre(true, true, true));
  EXPECT_THAT(boxes_.Texts(),
              ElementsAre(QStringLiteral("Please give a valid extention to search"),
                          QStringLiteral("Please give a filename/substring to search"),
                          QStringLiteral("Please give a deleted directory name or its substring to search")));
  for (const SeenBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, QStringLiteral("Search Options"));
    EXPECT_EQ(box.style, 64u);
  }
  EXPECT_EQ(dialog_.m_strExtFilter, QStringLiteral("TXT"));
  EXPECT_EQ(dialog_.m_strNameFilter, QStringLiteral("ABCDEFGH"));
  EXPECT_EQ(dialog_.m_strDeletedDirFilter, QStringLiteral("12345678"));
}

TEST_F(SearchOptionsTest, TooltipsByHitTestAlsoOverDisabledControls) {
  dialog_.m_bDeletedDirsEnabled = 0;  // the whole group disabled
  Run([&] {
    auto tip_over = [&](int id) {
      QWidget* control = FindControl(&dialog_, id);
      const QPoint centre = control->rect().center();
      QHelpEvent event(QEvent::ToolTip, centre, control->mapToGlobal(centre));
      QApplication::sendEvent(control, &event);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    ASSERT_FALSE(FindControl(&dialog_, kDirCheck)->isEnabled());
    EXPECT_EQ(tip_over(kExtEdit), QStringLiteral("Give 3 character long extention"));
    // The group's tip comes before the tips of the controls inside it.
    EXPECT_EQ(tip_over(kDirCheck),
              QStringLiteral("Available only if [Search deleted directories] option is enabled"));
  });
}

}  // namespace
}  // namespace quorvane::testing
