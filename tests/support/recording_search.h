#pragma once
// What the search reports through, as fakes: every change goes, in order,
// into the ReportLog beside the status and progress lines ("caption: C:\DOCS",
// "row: <column 0> | <column 1>").
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "recovery/search_report.h"
#include "support/recording_reports.h"

namespace quorvane::testing {

struct RecordingList final : ResultList {
  explicit RecordingList(ReportLog& log) : log(log) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    found.insert(found.begin(), {column0, column1});
    firstClusters.insert(firstClusters.begin(), std::nullopt);
    log.Add("row: " + column0 + " | " + column1);
  }
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    InsertRowAtTop(column0, column1);
    firstClusters.front() = details.firstCluster;
  }
  const std::vector<std::pair<std::string, std::string>>& rows() const { return found; }  // top first
  std::vector<std::string> Column0() const {
    std::vector<std::string> names;
    for (const auto& row : found) names.push_back(row.first);
    return names;
  }
  ReportLog& log;
  std::vector<std::pair<std::string, std::string>> found;
  std::vector<std::optional<uint32_t>> firstClusters;  // of the rows that carry details, top first
};

struct RecordingCaption final : StatusText {
  explicit RecordingCaption(ReportLog& log) : log(log) {}
  void SetText(const std::string& text) override {
    log.Add("caption: " + text);
    if (on_text) on_text(text);
  }
  ReportLog& log;
  std::function<void(const std::string&)> on_text;  // e.g. to raise an abort flag
};

struct RecordingSearch {
  RecordingReports reports;
  RecordingList list{reports.log};
  RecordingCaption caption{reports.log};
  SearchReport report{list, caption, reports.status, &reports.progress};
};

}  // namespace quorvane::testing
