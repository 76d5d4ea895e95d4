// The search options dialog: its checks at OK in their order, its length
// limits, Cancel leaving the settings alone, the three boxes that start
// unchecked at every opening, its tooltips by hit test.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QHelpEvent>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <functional>

#include "res/dialogs/search_options_dialog.h"
#include "ui/wizard/search_options_dlg.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using namespace res::search_options_dialog;

class SearchOptionsTest : public ::testing::Test {
 protected:
  // Runs the dialog modally on `state_`; `during` acts on it once it is up.
  // A dialog still open afterwards is cancelled, so that a failing test ends.
  int Run(const std::function<void()>& during) {
    QTimer::singleShot(0, [&] {
      during();
      if (dialog_.isVisible()) dialog_.reject();
    });
    return dialog_.DoModal(state_);
  }

  BoxWatcher boxes_;
  ui::WizardState state_;
  ui::CSearchOptionsDlg dialog_;
};

TEST_F(SearchOptionsTest, OkChecksExtensionThenNameThenDeletedDirectoryAndEditsAreLimited) {
  state_.m_bSearchDeletedDirs = 1;
  state_.m_bNameFilter = state_.m_bExtFilter = state_.m_bDeletedDirFilter = 1;
  std::vector<bool> open_after_each;
  const int result = Run([&] {
    for (auto [edit, text] : {std::pair{kExtFilter, "TXTX"}, std::pair{kNameFilter, "ABCDEFGHIJ"},
                              std::pair{kDeletedDirFilter, "123456789"}}) {
      Click(&dialog_, kOk);
      open_after_each.push_back(dialog_.isVisible());
      Type(&dialog_, edit, QString::fromLatin1(text));
    }
    Click(&dialog_, kOk);
  });
  EXPECT_EQ(result, kOk);
  EXPECT_THAT(open_after_each, ElementsAre(true, true, true));
  EXPECT_THAT(boxes_.Texts(),
              ElementsAre(QStringLiteral("Please give a valid extention to search"),
                          QStringLiteral("Please give a filename/substring to search"),
                          QStringLiteral("Please give a deleted directory name or its substring to search")));
  for (const SeenBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, QStringLiteral("Search Options"));
    EXPECT_EQ(box.style, 64u);
  }
  EXPECT_EQ(state_.m_strExtFilter, QStringLiteral("TXT"));
  EXPECT_EQ(state_.m_strNameFilter, QStringLiteral("ABCDEFGH"));
  EXPECT_EQ(state_.m_strDeletedDirFilter, QStringLiteral("12345678"));
}

TEST_F(SearchOptionsTest, CancelLeavesTheSettingsAsTheyWere) {
  state_.m_bSearchDeletedDirs = 1;
  state_.m_bNameFilter = 1;
  state_.m_strNameFilter = QStringLiteral("REP");
  const int result = Run([&] {
    // Each check box switches its edit as it goes into the dialog's copy.
    for (int check : {kNameFilterCheck, kExtFilterCheck})
      QTest::mouseClick(ui::FindControl<QCheckBox>(&dialog_, check), Qt::LeftButton, {},
                        QPoint(6, 5));
    EXPECT_FALSE(ui::FindControl(&dialog_, kNameFilter)->isEnabled());
    EXPECT_TRUE(ui::FindControl(&dialog_, kExtFilter)->isEnabled());
    Type(&dialog_, kExtFilter, QStringLiteral("DOC"));
    Click(&dialog_, kCancel);
  });
  EXPECT_EQ(result, kCancel);
  EXPECT_EQ(state_.m_bNameFilter, 1);
  EXPECT_EQ(state_.m_strNameFilter, QStringLiteral("REP"));
  EXPECT_EQ(state_.m_bExtFilter, 0);
  EXPECT_TRUE(state_.m_strExtFilter.isEmpty());
}

TEST_F(SearchOptionsTest, RebuildDetailsKeepGoingAndFragmentsBoxesStartUncheckedAtEveryOpening) {
  auto box = [&](int id) { return ui::FindControl<QCheckBox>(&dialog_, id); };
  auto tick = [&](int id) { QTest::mouseClick(box(id), Qt::LeftButton, {}, QPoint(6, 5)); };
  struct Opening {
    std::vector<int> ticked;
    int button;
    int32_t nt_after, details_after, keep_going_after, fragments_after;
  };
  const Opening openings[] = {
      {{kNtDeletedCheck, kDetailsCheck, kKeepGoingCheck, kFragmentsCheck}, kOk, 1, 1, 1, 1},
      {{}, kCancel, 1, 1, 1, 1},             // Cancel keeps what the last OK stored
      {{kDetailsCheck}, kOk, 0, 1, 0, 0},    // OK stores what the boxes show now
      {{kKeepGoingCheck}, kOk, 0, 0, 1, 0},
      {{kFragmentsCheck}, kOk, 0, 0, 0, 1},
      {{}, kOk, 0, 0, 0, 0},
  };
  for (const Opening& opening : openings) {
    SCOPED_TRACE(&opening - openings);
    const int result = Run([&] {
      for (int id : {kNtDeletedCheck, kDetailsCheck, kKeepGoingCheck, kFragmentsCheck}) EXPECT_FALSE(box(id)->isChecked());
      for (int id : opening.ticked) tick(id);
      Click(&dialog_, opening.button);
    });
    EXPECT_EQ(result, opening.button);
    EXPECT_EQ(state_.m_bNtDeleted, opening.nt_after);
    EXPECT_EQ(state_.m_bDetails, opening.details_after);
    EXPECT_EQ(state_.m_bKeepGoing, opening.keep_going_after);
    EXPECT_EQ(state_.m_bFragments, opening.fragments_after);
    const SearchSettings search = ui::ToSearchSettings(state_);
    EXPECT_EQ(search.bSearchNtDeleted, opening.nt_after);
    EXPECT_EQ(search.bSearchDetails, opening.details_after);
    EXPECT_EQ(search.bSearchFragments, opening.fragments_after);
  }
}

TEST_F(SearchOptionsTest, TooltipsByHitTestAlsoOverDisabledControls) {
  state_.m_bSearchDeletedDirs = 0;  // the whole deleted-directory group disabled
  Run([&] {
    auto tip_over = [&](int id) {
      QWidget* control = ui::FindControl(&dialog_, id);
      const QPoint centre = control->rect().center();
      QHelpEvent event(QEvent::ToolTip, centre, control->mapToGlobal(centre));
      QApplication::sendEvent(control, &event);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    ASSERT_FALSE(ui::FindControl(&dialog_, kDeletedDirFilterCheck)->isEnabled());
    EXPECT_EQ(tip_over(kExtFilter), QStringLiteral("Give 3 character long extention"));
    // The group's tip comes before the tips of the controls inside it.
    EXPECT_EQ(tip_over(kDeletedDirFilterCheck),
              QStringLiteral("Available only if [Search deleted directories] option is enabled"));
  });
}

}  // namespace
}  // namespace quorvane::testing
