#include "ui/wizard/data_exchange.h"

#include <QCheckBox>
#include <QLineEdit>

#include "ui/find_control.h"
#include "ui/message_boxes.h"
#include "recovery/message_box_host.h"

namespace quorvane::ui {

void DataExchange::Text(int id, QString& value) {
  if (!ok_) return;
  auto* edit = FindControl<QLineEdit>(dialog_, id);
  if (!edit) return;
  if (saving_) {
    value = edit->text();
  } else {
    edit->setText(value);
  }
}

void DataExchange::Text(int id, QString& value, int max_chars) {
  if (!ok_) return;
  auto* edit = FindControl<QLineEdit>(dialog_, id);
  if (!edit) return;
  if (!saving_) {
    edit->setMaxLength(max_chars);
    edit->setText(value);
    return;
  }
  const QString text = edit->text();
  if (text.size() > max_chars) {
    ShowModalMessageBox(dialog_,
                        QStringLiteral("Please enter no more than %1 characters.").arg(max_chars),
                        std::nullopt, kMbIconExclamation);
    edit->setFocus();
    ok_ = false;
    return;
  }
  value = text;
}

void DataExchange::Check(int id, int32_t& value) {
  if (!ok_) return;
  auto* box = FindControl<QCheckBox>(dialog_, id);
  if (!box) return;
  if (saving_) {
    value = box->isChecked() ? 1 : 0;
  } else {
    box->setChecked(value != 0);
  }
}

}  // namespace quorvane::ui
