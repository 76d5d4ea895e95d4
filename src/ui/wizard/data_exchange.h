#pragma once
// Exchange of values between a page's or dialog's controls and its fields,
// in one direction per pass: into the fields (saving) or into the controls.
#include <QString>
#include <QWidget>
#include <cstdint>

namespace quorvane::ui {

class DataExchange {
 public:
  DataExchange(QWidget* dialog, bool saving) : dialog_(dialog), saving_(saving) {}

  bool saving() const { return saving_; }
  // False once a value failed its check; later exchanges are skipped.
  bool ok() const { return ok_; }

  // Edit `id` and `value`.
  void Text(int id, QString& value);
  // Edit `id` and `value`, at most `max_chars` characters: the edit is
  // limited when filled; a longer text fails with the framework's message
  // "Please enter no more than N characters." and the focus on the edit.
  void Text(int id, QString& value, int max_chars);
  // Check box `id` and `value` (0 or 1).
  void Check(int id, int32_t& value);

 private:
  QWidget* dialog_;
  bool saving_;
  bool ok_ = true;
};

}  // namespace quorvane::ui
