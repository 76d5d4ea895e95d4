#pragma once
// Helpers of the wizard's tests: watching and answering message boxes,
// waiting for the user-interface thread, pressing controls by identifier.
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/message_boxes.h"

namespace quorvane::testing {

struct SeenBox {
  QString text;
  QString caption;
  uint32_t style = 0;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool on_top = false;           // above every other window
  bool blocks_wizard = false;    // modal to the application or its window
};

// Records every box the program shows and, unless told to leave them open,
// answers each one as soon as the event loop runs: OK, or `yes_no_answer`.
class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  void LeaveOpen(bool leave) { leave_open_ = leave; }
  void AnswerYesNo(QMessageBox::StandardButton answer) { yes_no_answer_ = answer; }
  // Runs as each box comes up, before it is answered.
  void OnShow(std::function<void(QMessageBox&)> on_show) { on_show_ = std::move(on_show); }

  const std::vector<SeenBox>& boxes() const { return boxes_; }
  std::vector<QString> Texts() const;
  // The boxes still open (shown and not closed).
  std::vector<QMessageBox*> OpenBoxes() const;

 private:
  ui::MessageBoxHook previous_;
  std::vector<SeenBox> boxes_;
  std::vector<QPointer<QMessageBox>> shown_;
  std::function<void(QMessageBox&)> on_show_;
  bool leave_open_ = false;
  QMessageBox::StandardButton yes_no_answer_ = QMessageBox::Yes;
};

// Runs the event loop until `done` holds or `timeout_ms` passes.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 20000);

// Clicks the push button with identifier `id` under `root` (fails the test
// when it is missing).
void Click(QWidget* root, int id);

}  // namespace quorvane::testing
