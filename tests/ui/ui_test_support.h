#pragma once
// Helpers of the wizard's tests: watching and answering message boxes,
// waiting for the user-interface thread, using controls by identifier, and
// the whole program below the application object.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "ui/find_control.h"
#include "ui/launcher_dlg.h"
#include "ui/message_boxes.h"
#include "ui/progress_ctrl.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {

struct SeenBox {
  QString text;
  QString caption;
  uint32_t style = 0;
  bool blocks_wizard = false;  // modal to the application or its window
};

// Records every box the program shows and, unless told to leave them open,
// answers each one (OK or Yes) as soon as the event loop runs.
class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  void LeaveOpen(bool leave) { leave_open_ = leave; }
  // Runs as each box comes up, before it is answered.
  void OnShow(std::function<void(QMessageBox&)> on_show) { on_show_ = std::move(on_show); }
  const std::vector<SeenBox>& boxes() const { return boxes_; }
  std::vector<QString> Texts() const;
  std::vector<QMessageBox*> OpenBoxes() const;  // shown and not closed

 private:
  ui::MessageBoxHook previous_;
  std::vector<SeenBox> boxes_;
  std::vector<QPointer<QMessageBox>> shown_;
  std::function<void(QMessageBox&)> on_show_;
  bool leave_open_ = false;
};

// Runs the event loop until `done` holds or `timeout_ms` passes.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 20000);

// The controls with identifier `id` under `root`, used as a person uses
// them: a click with the mouse, an edit's text replaced by typing. Each
// fails the test when the control is missing.
void Click(QWidget* root, int id);
void Type(QWidget* root, int id, const QString& text);
QString TextOf(QWidget* root, int id);  // a static's text
// A check box clicked, as a person clicks it, when it is not already `on`.
void SetChecked(QWidget* root, int id, bool on);
// Row `row` of the list `id`, alone selected.
void SelectOnly(QWidget* root, int id, int row);
// A click in the middle of `widget`, and a key, given to the window that
// shows it (QTest's window overloads): what the window's modality, focus
// and enabled state let through reaches the widget, as a person's input does.
void ClickThroughWindow(QWidget* widget);
void KeyThroughWindow(QWidget* window, Qt::Key key);
const ProgressState& ProgressOf(QWidget* root, int id);

// A main window on a drive table, its wizard started (not modal, so the test
// drives it), the output directory a fresh temporary one, every box watched.
class WizardFixture : public ::testing::Test {
 protected:
  // `table` and `drives` (which reads the table's volumes) outlive the window.
  void StartWizard(DriveTable& table, DriveSource& drives) {
    launcher_ = std::make_unique<ui::CLauncherDlg>(table, drives);
    launcher_->PrepareWizard();
    sheet().Begin();
    QApplication::processEvents();  // the posted button requests
  }
  void StartWizard(DriveTable& drives) { StartWizard(drives, drives); }
  void TearDown() override {
    if (launcher_) sheet().reject();
    launcher_.reset();
  }
  ui::CWizardSheet& sheet() { return launcher_->sheet(); }
  // Moves on `pages` pages; each move must succeed. Page 3 moves on when
  // the check of its directory, on a worker, has ended.
  void Forward(int pages) {
    for (int i = 0; i < pages; ++i) {
      const int from = sheet().ActiveIndex();
      sheet().Next();
      QApplication::processEvents();
      ASSERT_TRUE(WaitFor([&] { return sheet().ActiveIndex() == from + 1; }))
          << "still on page " << sheet().ActiveIndex() + 1;
      QApplication::processEvents();  // the new page's posted buttons
    }
  }

  BoxWatcher boxes_;
  TempDir out_;
  ScopedCurrentDir cwd_{out_.path()};
  std::unique_ptr<ui::CLauncherDlg> launcher_;
};

// A wizard over one mtools volume made once for the suite: the suite's
// SetUpTestSuite fills what MakeVolume() returns. Every test must leave the
// volume as it found it.
class SuiteVolumeFixture : public WizardFixture {
 protected:
  static MtoolsVolume& MakeVolume() {
    dir_ = std::make_unique<TempDir>();
    volume_ = std::make_unique<MtoolsVolume>(dir_->File("vol.img"));
    return *volume_;
  }
  static void TearDownTestSuite() {
    volume_.reset();
    dir_.reset();
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<MtoolsVolume> volume_;
  UnchangedGuard unchanged_{volume_->path()};
};

}  // namespace quorvane::testing
