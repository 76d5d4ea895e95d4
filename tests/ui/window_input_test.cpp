// What a person's input reaches, sent through the window system (QTest's
// QWindow functions obey modality; events sent to a widget do not): every
// template's controls take the clicks meant for them and its labels' letters
// reach the edits they name; the wizard, once started, has the input and the
// main window none.
#include <gmock/gmock.h>

#include <QLabel>
#include <QLineEdit>
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
#include "ui/about_dlg.h"
#include "ui/dialog_builder.h"
#include "ui/wizard/search_options_dlg.h"
#include "ui_test_support.h"
#include "volume/drive_table.h"

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
  struct Case {
    Qt::Key letter;
    int edit;
  };
  std::vector<int> focused;
  QTimer::singleShot(0, [&] {
    QWindow* window = dialog.windowHandle();
    for (const Case& c : {Case{Qt::Key_A, 1041}, Case{Qt::Key_X, 1042}, Case{Qt::Key_L, 1044}}) {
      QTest::keyClick(window, c.letter, Qt::AltModifier);
      QWidget* focus = QApplication::focusWidget();
      focused.push_back(focus ? focus->property(ui::kControlIdProperty).toInt() : 0);
    }
    QTest::keyClick(window, Qt::Key_Escape);
  });
  dialog.DoModal(state);
  EXPECT_THAT(focused, ::testing::ElementsAre(1041, 1042, 1044));
}

TEST(WizardInput, AfterStartTheWizardHasTheInputAndTheMainWindowNone) {
  DriveTable drives;
  TempDir out;
  ScopedCurrentDir cwd(out.path());
  ui::CLauncherDlg launcher(drives);
  bool about_opened = false;
  QString page_after_next;
  QString page2_path;
  QTimer::singleShot(0, [&] {
    QWidget* start = ui::FindControl(&launcher, 1025);
    QTest::mouseClick(launcher.windowHandle(), Qt::LeftButton, {},
                      start->mapTo(&launcher, start->rect().center()));
  });
  QTimer::singleShot(100, [&] {
    ui::CWizardSheet& sheet = launcher.sheet();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    // A click on the main window's About goes nowhere: the wizard is modal.
    // (Were it taken, the about box's own run would be ended here.)
    QTimer::singleShot(50, [&] {
      if (auto* about = qobject_cast<ui::CAboutDlg*>(QApplication::activeModalWidget())) {
        about_opened = true;
        about->reject();
      }
    });
    QWidget* about = ui::FindControl(&launcher, 1026);
    QTest::mouseClick(launcher.windowHandle(), Qt::LeftButton, {},
                      about->mapTo(&launcher, about->rect().center()));
    QTest::qWait(100);
    QWidget* next = ui::FindControl(&sheet, ui::CWizardSheet::kNextId);
    QTest::mouseClick(sheet.windowHandle(), Qt::LeftButton, {},
                      next->mapTo(&sheet, next->rect().center()));
    page_after_next = sheet.windowTitle();
    // Alt and the letter of the disabled Abort type nothing into the path.
    for (char c : std::string("C:\\X.TXT")) QTest::keyClick(sheet.windowHandle(), c);
    QTest::keyClick(sheet.windowHandle(), Qt::Key_A, Qt::AltModifier);
    if (auto* edit = ui::FindControl<QLineEdit>(&launcher.page2(), 1017)) page2_path = edit->text();
    QTest::keyClick(sheet.windowHandle(), Qt::Key_Escape);
  });
  // A wizard that takes no input ends here rather than hanging the suite.
  QTimer::singleShot(10000, &launcher, [&] {
    if (launcher.sheet().isVisible()) launcher.sheet().reject();
  });
  launcher.exec();
  EXPECT_FALSE(about_opened);
  EXPECT_EQ(page_after_next, QStringLiteral("Undelete File If You Know The Complete File Name"));
  EXPECT_EQ(page2_path, QStringLiteral("C:\\X.TXT"));
  EXPECT_EQ(launcher.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace quorvane::testing
