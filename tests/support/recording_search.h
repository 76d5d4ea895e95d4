#pragma once
// The results page's controls as fakes: every change goes, in order, into the
// ReportLog beside the status and progress lines ("caption: C:\DOCS",
// "row: <column 0> | <column 1>", "button: undelete on").
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "recovery/search_report.h"
#include "support/recording_reports.h"

namespace quorvane::testing {

class RecordingList final : public ResultList {
 public:
  explicit RecordingList(ReportLog& log) : log_(log) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    rows_.insert(rows_.begin(), {column0, column1});
    log_.Add("row: " + column0 + " | " + column1);
  }
  const std::vector<std::pair<std::string, std::string>>& rows() const { return rows_; }  // top first
  std::vector<std::string> Column0() const {
    std::vector<std::string> names;
    for (const auto& row : rows_) names.push_back(row.first);
    return names;
  }

 private:
  ReportLog& log_;
  std::vector<std::pair<std::string, std::string>> rows_;
};

class RecordingCaption final : public StatusText {
 public:
  explicit RecordingCaption(ReportLog& log) : log_(log) {}
  void SetText(const std::string& text) override {
    log_.Add("caption: " + text);
    if (on_text) on_text(text);
  }
  std::function<void(const std::string&)> on_text;  // e.g. to raise an abort flag

 private:
  ReportLog& log_;
};

class RecordingButton final : public PushButton {
 public:
  RecordingButton(ReportLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void SetEnabled(bool enabled) override { log_.Add("button: " + name_ + (enabled ? " on" : " off")); }

 private:
  ReportLog& log_;
  std::string name_;
};

struct RecordingSearchControls {
  RecordingReports reports;
  RecordingList list{reports.log};
  RecordingCaption caption{reports.log};
  RecordingButton undelete{reports.log, "undelete"}, showFiles{reports.log, "show files"},
      abort{reports.log, "abort"};
  SearchControls controls{list, caption, reports.status, reports.progress, undelete, showFiles, abort};
};

}  // namespace quorvane::testing
