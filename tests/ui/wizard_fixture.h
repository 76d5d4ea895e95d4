#pragma once
// The whole program below the application object, for the page tests: a
// main window on a drive table, its wizard started (not modal, so the test
// drives it), the output directory a fresh temporary one, every box watched.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "support/temp_dir.h"
#include "ui/launcher_dlg.h"
#include "ui_test_support.h"

namespace quorvane::testing {

class WizardFixture : public ::testing::Test {
 protected:
  // `drives` outlives the fixture's window.
  void StartWizard(DriveSource& drives) {
    launcher_ = std::make_unique<ui::CLauncherDlg>(drives);
    launcher_->PrepareWizard();
    sheet().Begin();
    QApplication::processEvents();  // the posted button requests
  }
  void TearDown() override {
    if (launcher_) {
      sheet().reject();
      launcher_.reset();
    }
  }
  ui::CWizardSheet& sheet() { return launcher_->sheet(); }
  // Moves from page 1 (the output directory as shown) to page 2.
  void GoToPage2() {
    sheet().Next();
    QApplication::processEvents();
    ASSERT_EQ(sheet().ActiveIndex(), 1);
  }

  BoxWatcher boxes_;
  TempDir out_;
  ScopedCurrentDir cwd_{out_.path()};
  std::unique_ptr<ui::CLauncherDlg> launcher_;
};

}  // namespace quorvane::testing
