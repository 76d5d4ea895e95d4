#pragma once
// The results page's controls as fakes for the search: every change goes, in
// order, into a ReportLog beside the status and progress lines:
//   "caption: C:\DOCS"   "row: C:\DOCS\<E5>EPORT  .DOC | 6"   "button: undelete on"
// The rows themselves are kept in list order, top row first.
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "recovery/search_report.h"
#include "support/recording_reports.h"

namespace quorvane::testing {

class RecordingList final : public ResultList {
 public:
  explicit RecordingList(ReportLog& log) : log_(log) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override;
  // Top row first, as the list shows them.
  std::vector<std::pair<std::string, std::string>> rows() const;
  std::vector<std::string> Column0() const;

 private:
  ReportLog& log_;
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> found_;  // in the order found
};

class RecordingCaption final : public StatusText {
 public:
  explicit RecordingCaption(ReportLog& log) : log_(log) {}
  void SetText(const std::string& text) override;
  // Runs after each text is logged (for example to raise an abort flag).
  void set_on_text(std::function<void(const std::string&)> callback) { on_text_ = std::move(callback); }

 private:
  ReportLog& log_;
  std::function<void(const std::string&)> on_text_;
};

class RecordingButton final : public PushButton {
 public:
  RecordingButton(ReportLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void SetEnabled(bool enabled) override;

 private:
  ReportLog& log_;
  std::string name_;
};

// All of the page's controls over one log.
struct RecordingSearchControls {
  RecordingReports reports;
  RecordingList list{reports.log};
  RecordingCaption caption{reports.log};
  RecordingButton undelete{reports.log, "undelete"};
  RecordingButton showFiles{reports.log, "show files"};
  RecordingButton abort{reports.log, "abort"};
  SearchControls controls{list,     caption,   reports.status, reports.progress,
                          undelete, showFiles, abort};
};

}  // namespace quorvane::testing
