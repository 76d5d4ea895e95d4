// The search options dialog: its three checks at OK in their order, its
// length limits, the enabled states that follow the fields and the
// deleted-directory option, and its tooltips by hit test.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <functional>

#include "ui/find_control.h"
#include "ui/wizard/control_tips.h"
#include "ui/wizard/search_options_dlg.h"
#include "ui_test_support.h"
#include "volume/message_box_host.h"
#include "res/dialogs/search_options_dialog.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ui::CSearchOptionsDlg;
using ui::FindControl;

constexpr int kNameCheck = 1039, kExtCheck = 1040, kDirCheck = 1043;
constexpr int kNameEdit = 1041, kExtEdit = 1042, kDirEdit = 1044;
constexpr int kDirGroup = 1045, kDirHint = 1046, kDirLabel = 1047, kOk = 1, kCancel = 2;

const QString kNoExt = QStringLiteral("Please give a valid extention to search");
const QString kNoName = QStringLiteral("Please give a filename/substring to search");
const QString kNoDir =
    QStringLiteral("Please give a deleted directory name or its substring to search");

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
  QLineEdit* Edit(int id) { return FindControl<QLineEdit>(&dialog_, id); }
  QWidget* Control(int id) { return FindControl(&dialog_, id); }
  void Type(int id, const QString& text) {
    Edit(id)->clear();
    QTest::keyClicks(Edit(id), text);
  }
  void Press(int id) { QTest::mouseClick(FindControl<QPushButton>(&dialog_, id), Qt::LeftButton); }
  void Tick(int id) {
    auto* box = FindControl<QCheckBox>(&dialog_, id);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  }

  BoxWatcher boxes_;
  CSearchOptionsDlg dialog_;
};

TEST_F(SearchOptionsTest, OkChecksExtensionThenNameThenDeletedDirectory) {
  dialog_.m_bDeletedDirsEnabled = 1;
  dialog_.m_bNameFilter = dialog_.m_bExtFilter = dialog_.m_bDeletedDirFilter = 1;
  std::vector<bool> open_after_each;
  const int result = Run([&] {
    Press(kOk);
    open_after_each.push_back(dialog_.isVisible());
    Type(kExtEdit, QStringLiteral("txt"));
    Press(kOk);
    open_after_each.push_back(dialog_.isVisible());
    Type(kNameEdit, QStringLiteral("rep"));
    Press(kOk);
    open_after_each.push_back(dialog_.isVisible());
    Type(kDirEdit, QStringLiteral("old"));
    Press(kOk);
  });
  EXPECT_EQ(result, quorvane::kIdOk);
  EXPECT_THAT(open_after_each, ElementsAre(true, true, true));
  EXPECT_THAT(boxes_.Texts(), ElementsAre(kNoExt, kNoName, kNoDir));
  for (const SeenBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, QStringLiteral("Search Options"));
    EXPECT_EQ(box.style, 64u);
    EXPECT_EQ(box.icon, QMessageBox::Information);
  }
  EXPECT_EQ(dialog_.m_strExtFilter, QStringLiteral("txt"));
  EXPECT_EQ(dialog_.m_strNameFilter, QStringLiteral("rep"));
  EXPECT_EQ(dialog_.m_strDeletedDirFilter, QStringLiteral("old"));
}

TEST_F(SearchOptionsTest, OnlyTheFirstFailingCheckIsReportedAndBlanksPass) {
  dialog_.m_bNameFilter = 1;
  dialog_.m_bDeletedDirFilter = 1;  // its edit stays enabled in the disabled group
  dialog_.m_strDeletedDirFilter = QStringLiteral("   ");
  EXPECT_EQ(Run([&] { Press(kOk); }), 2);
  EXPECT_THAT(boxes_.Texts(), ElementsAre(kNoName));

  dialog_.m_strNameFilter = QStringLiteral(" ");
  EXPECT_EQ(Run([&] { Press(kOk); }), quorvane::kIdOk);
  EXPECT_THAT(boxes_.Texts(), ElementsAre(kNoName));
}

TEST_F(SearchOptionsTest, FiltersSwitchedOffPassWithAnyTextAndKeepIt) {
  dialog_.m_bExtFilter = 1;
  dialog_.m_strExtFilter = QStringLiteral("DOC");
  const int result = Run([&] {
    EXPECT_TRUE(Edit(kExtEdit)->isEnabled());
    EXPECT_FALSE(Edit(kNameEdit)->isEnabled());
    Tick(kExtCheck);  // off: the edit is disabled, its text stays
    EXPECT_FALSE(Edit(kExtEdit)->isEnabled());
    EXPECT_EQ(Edit(kExtEdit)->text(), QStringLiteral("DOC"));
    Tick(kNameCheck);  // on and back off with an empty text
    EXPECT_TRUE(Edit(kNameEdit)->isEnabled());
    Tick(kNameCheck);
    Press(kOk);
  });
  EXPECT_EQ(result, quorvane::kIdOk);
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(dialog_.m_bExtFilter, 0);
  EXPECT_EQ(dialog_.m_strExtFilter, QStringLiteral("DOC"));
  EXPECT_EQ(dialog_.m_bNameFilter, 0);
}

TEST_F(SearchOptionsTest, EditsTakeAtMostEightThreeAndEightCharacters) {
  dialog_.m_bDeletedDirsEnabled = 1;
  dialog_.m_bNameFilter = dialog_.m_bExtFilter = dialog_.m_bDeletedDirFilter = 1;
  const int result = Run([&] {
    Type(kNameEdit, QStringLiteral("ABCDEFGHIJ"));
    Type(kExtEdit, QStringLiteral("ABCD"));
    Type(kDirEdit, QStringLiteral("123456789"));
    Press(kOk);
  });
  EXPECT_EQ(result, quorvane::kIdOk);
  EXPECT_EQ(dialog_.m_strNameFilter, QStringLiteral("ABCDEFGH"));
  EXPECT_EQ(dialog_.m_strExtFilter, QStringLiteral("ABC"));
  EXPECT_EQ(dialog_.m_strDeletedDirFilter, QStringLiteral("12345678"));
}

TEST_F(SearchOptionsTest, CancelEscapeAndCloseEndWithoutChecks) {
  dialog_.m_bExtFilter = 1;
  EXPECT_EQ(Run([&] { Press(kCancel); }), 2);
  EXPECT_EQ(Run([&] { QTest::keyClick(&dialog_, Qt::Key_Escape); }), 2);
  EXPECT_EQ(Run([&] { dialog_.close(); }), 2);
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(SearchOptionsTest, DeletedDirectoryGroupFollowsTheSetupPage) {
  dialog_.m_bDeletedDirsEnabled = 0;
  dialog_.m_bDeletedDirFilter = 1;
  Run([&] {
    EXPECT_FALSE(Control(kDirCheck)->isEnabled());
    EXPECT_FALSE(Control(kDirLabel)->isEnabled());
    EXPECT_FALSE(Control(kDirGroup)->isEnabled());
    EXPECT_TRUE(Control(kDirHint)->isVisible());
    EXPECT_TRUE(Edit(kDirEdit)->isEnabled()) << "the edit follows its own field";
  });
  // The next run starts from the template's states again.
  dialog_.m_bDeletedDirsEnabled = 1;
  dialog_.m_bDeletedDirFilter = 0;
  Run([&] {
    EXPECT_TRUE(Control(kDirCheck)->isEnabled());
    EXPECT_TRUE(Control(kDirLabel)->isEnabled());
    EXPECT_TRUE(Control(kDirGroup)->isEnabled());
    EXPECT_FALSE(Control(kDirHint)->isVisible());
    EXPECT_FALSE(Edit(kDirEdit)->isEnabled());
  });
}

TEST_F(SearchOptionsTest, TooltipsByHitTestAlsoOverDisabledControls) {
  dialog_.m_bDeletedDirsEnabled = 0;  // the whole group disabled
  Run([&] {
    auto tip_over = [&](int id) {
      QWidget* control = Control(id);
      const QPoint centre = control->rect().center();
      QHelpEvent event(QEvent::ToolTip, centre, control->mapToGlobal(centre));
      QApplication::sendEvent(control, &event);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tip_over(kNameEdit),
              QStringLiteral("Give 8 character long file name or substring of filename"));
    EXPECT_EQ(tip_over(kExtEdit), QStringLiteral("Give 3 character long extention"));
    const QString group_tip =
        QStringLiteral("Available only if [Search deleted directories] option is enabled");
    // The group comes before the controls inside it.
    EXPECT_EQ(tip_over(kDirEdit), group_tip);
    EXPECT_EQ(tip_over(kDirCheck), group_tip);
    EXPECT_EQ(tip_over(kDirLabel), group_tip);
    // A control without a tip hides the one showing.
    for (int id : {kNameCheck, kOk}) {
      tip_over(kExtEdit);
      tip_over(id);
      EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 3000)) << id;
    }
  });
}

}  // namespace
}  // namespace quorvane::testing
