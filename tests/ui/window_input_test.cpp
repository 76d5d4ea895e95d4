// What a person's input reaches: every template's controls take the clicks
// meant for them and its labels' letters reach the controls they name.
// (Through the X server, tests/e2e: the started wizard has the input and the
// main window none, about_box_and_main_window_blocked and keyboard_both_jobs;
// the options dialog's letters, worker_box_answered_over_options_dialog.)
#include <gmock/gmock.h>

#include <QLabel>
#include <QTest>

#include "res/dialogs/about_dialog.h"
#include "res/dialogs/launcher_dialog.h"
#include "res/dialogs/output_dir_page.h"
#include "res/dialogs/results_page.h"
#include "res/dialogs/search_options_dialog.h"
#include "res/dialogs/search_setup_page.h"
#include "res/dialogs/undelete_by_name_page.h"
#include "ui/dialog_builder.h"
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

TEST(TemplateInput, ClicksReachEveryControlAndLabelLettersTheControlTheyName) {
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
        if (t.buddy != res::kNoId) {
          EXPECT_EQ(label->buddy(), ui::FindControl(&host, t.buddy)) << t.text;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorvane::testing
