#include "recovery/read_failure_boxes.h"

#include <string>

#include "recovery/engine_texts.h"

namespace quorvane {

void TellReadFailure(MessageBoxHost& boxes, const ReadError& error, ReadFailureTelling who) {
  if (error.kind == ReadError::Kind::kCannotOpen) {
    boxes.ShowMessageBox(texts::kCreateFileFailed, std::nullopt, kMbOk);
    return;
  }
  if (who == ReadFailureTelling::kEngine && error.number != 0)
    boxes.ShowMessageBox(std::to_string(error.number), std::string(texts::kReadingSectorsFailed),
                         kMbOk);
}

}  // namespace quorvane
