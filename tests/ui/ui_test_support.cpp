#include "ui_test_support.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
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

namespace {

// The control, or null with the test failed.
template <typename T>
T* Control(QWidget* root, int id) {
  T* control = ui::FindControl<T>(root, id);
  if (!control) ADD_FAILURE() << "no control " << id;
  return control;
}

}  // namespace

void Click(QWidget* root, int id) {
  if (auto* button = Control<QAbstractButton>(root, id)) QTest::mouseClick(button, Qt::LeftButton);
}

void Type(QWidget* root, int id, const QString& text) {
  auto* edit = Control<QLineEdit>(root, id);
  if (!edit) return;
  edit->clear();
  QTest::keyClicks(edit, text);
}

void SetChecked(QWidget* root, int id, bool on) {
  auto* box = Control<QAbstractButton>(root, id);
  if (box && box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 5));
}

void SelectOnly(QWidget* root, int id, int row) {
  if (auto* list = Control<QAbstractItemView>(root, id))
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ClickThroughWindow(QWidget* widget) {
  QWidget* window = widget->window();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                    widget->mapTo(window, widget->rect().center()));
}

void KeyThroughWindow(QWidget* window, Qt::Key key) {
  QTest::keyClick(window->windowHandle(), key);
}

QString TextOf(QWidget* root, int id) {
  auto* label = Control<QLabel>(root, id);
  return label ? label->text() : QString();
}

const ProgressState& ProgressOf(QWidget* root, int id) {
  static const ProgressState kNone;
  auto* bar = Control<ui::ProgressCtrl>(root, id);
  return bar ? bar->state() : kNone;
}

}  // namespace quorvane::testing
