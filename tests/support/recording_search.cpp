#include "support/recording_search.h"

namespace quorvane::testing {

void RecordingList::InsertRowAtTop(const std::string& column0, const std::string& column1) {
  std::lock_guard lock(mutex_);
  found_.emplace_back(column0, column1);
  log_.Add("row: " + column0 + " | " + column1);
}

std::vector<std::pair<std::string, std::string>> RecordingList::rows() const {
  std::lock_guard lock(mutex_);
  return {found_.rbegin(), found_.rend()};
}

std::vector<std::string> RecordingList::Column0() const {
  std::vector<std::string> names;
  for (const auto& row : rows()) names.push_back(row.first);
  return names;
}

void RecordingCaption::SetText(const std::string& text) {
  log_.Add("caption: " + text);
  if (on_text_) on_text_(text);
}

void RecordingButton::SetEnabled(bool enabled) {
  log_.Add("button: " + name_ + (enabled ? " on" : " off"));
}

}  // namespace quorvane::testing
