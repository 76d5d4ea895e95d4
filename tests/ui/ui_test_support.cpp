#include "ui_test_support.h"

#include <QAbstractButton>
#include <QTest>
#include <QTimer>

namespace quorvane::testing {

BoxWatcher::BoxWatcher() {
  previous_ = ui::SetMessageBoxHook([this](QMessageBox& box, uint32_t style) {
    boxes_.push_back(SeenBox{box.text(), box.windowTitle(), style,
                             box.windowModality() != Qt::NonModal});
    shown_.emplace_back(&box);
    if (on_show_) on_show_(box);
    if (leave_open_) return;
    const QMessageBox::StandardButton answer =
        box.button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    QPointer<QMessageBox> target(&box);
    QTimer::singleShot(0, [target, answer] {
      if (target && target->button(answer)) target->button(answer)->click();
    });
  });
}

BoxWatcher::~BoxWatcher() {
  for (QMessageBox* box : OpenBoxes()) box->close();
  ui::SetMessageBoxHook(std::move(previous_));
}

std::vector<QString> BoxWatcher::Texts() const {
  std::vector<QString> texts;
  for (const SeenBox& box : boxes_) texts.push_back(box.text);
  return texts;
}

std::vector<QMessageBox*> BoxWatcher::OpenBoxes() const {
  std::vector<QMessageBox*> open;
  for (const QPointer<QMessageBox>& box : shown_)
    if (box && box->isVisible()) open.push_back(box.data());
  return open;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  return QTest::qWaitFor(done, timeout_ms);
}

void Click(QWidget* root, int id) {
  auto* button = ui::FindControl<QAbstractButton>(root, id);
  ASSERT_NE(button, nullptr) << "no button " << id;
  button->click();
}

}  // namespace quorvane::testing
