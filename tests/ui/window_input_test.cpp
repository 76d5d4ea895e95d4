// What a person's input reaches, sent through the window system (QTest's
// QWindow functions obey modality; events sent to a widget do not): every
// template's controls take the clicks meant for them and its labels' letters
// reach the edits they name. (That the started wizard has the input and the
// main window none: tests/e2e, about_box_and_main_window_blocked and
// keyboard_both_jobs.)
#include <gmock/gmock.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "res/dialogs/about_dialog.h"
#include "res/dialogs/launcher_dialog.h"
#include "res/dialogs/output_dir_page.h"
#include "res/dialogs/results_page.h"
#include "res/dialogs/search_options_dialog.h"
#include "res/dialogs/search_setup_page.h"
#include "res/dialogs/undelete_by_name_page.h"
#include "ui/dialog_builder.h"
#include "ui/wizard/search_options_dlg.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

const res::DialogTemplate* const kTemplates[] = {
    &res::kAboutDialog,     &res::kLauncherDialog,     &res::kOutputDirPage,
    &res::kResultsPage,     &res::kSearchOptionsDialog, &res::kSearchSetupPage,
    &res::kUndeleteByNamePage};

bool TakesFocus(const QWidget* widget) {
  return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

TEST(TemplateInput, ClicksReachEveryControlAndLabelLettersReachAControl) {
  for (const res::DialogTemplate* dialog : kTemplates) {
    SCOPED_TRACE(dialog->id);
    QWidget host;
    const std::vector<QWidget*> controls = ui::BuildDialog(&host, *dialog);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    for (size_t i = 0; i < controls.size(); ++i) {
      QWidget* control = controls[i];
      const res::ControlTemplate& t = dialog->controls[i];
      if (TakesFocus(control)) {
        // Nothing framing or overlapping the control takes its click.
        QWidget* hit = host.childAt(control->geometry().center());
        EXPECT_TRUE(hit == control || control->isAncestorOf(hit))
            << "control " << t.id << " is covered by " << (hit ? hit->metaObject()->className() : "");
      }
      if (auto* label = qobject_cast<QLabel*>(control); label && QString(t.text).contains('&')) {
        ASSERT_NE(label->buddy(), nullptr) << t.text << ": its letter reaches nothing";
        EXPECT_TRUE(TakesFocus(label->buddy())) << t.text;
      }
    }
  }
}

TEST(TemplateInput, OptionsDialogLabelsMoveTheFocusToTheEditTheyName) {
  ui::CSearchOptionsDlg dialog;
  ui::WizardState state;
  state.m_bNameFilter = state.m_bExtFilter = state.m_bDeletedDirFilter = 1;
  state.m_bSearchDeletedDirs = 1;
  namespace id = res::search_options_dialog;
  std::vector<int> focused;
  QTimer::singleShot(0, [&] {
    QWindow* window = dialog.windowHandle();
    for (Qt::Key letter : {Qt::Key_A, Qt::Key_X, Qt::Key_L}) {
      QTest::keyClick(window, letter, Qt::AltModifier);
      QWidget* focus = QApplication::focusWidget();
      focused.push_back(focus ? focus->property(ui::kControlIdProperty).toInt() : 0);
    }
    QTest::keyClick(window, Qt::Key_Escape);
  });
  dialog.DoModal(state);
  EXPECT_THAT(focused,
              ::testing::ElementsAre(id::kNameFilter, id::kExtFilter, id::kDeletedDirFilter));
}

}  // namespace
}  // namespace quorvane::testing
