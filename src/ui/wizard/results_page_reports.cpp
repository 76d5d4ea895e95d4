#include "ui/wizard/results_page_reports.h"

namespace quorvane::ui {

void QueuedResultList::InsertRowAtTop(const std::string& column0, const std::string& column1) {
  Insert(column0, column1, nullptr);
}

void QueuedResultList::InsertDetailedRowAtTop(const std::string& column0,
                                              const std::string& column1,
                                              const RowDetails& details) {
  Insert(column0, column1, std::make_shared<const RowDetails>(details));
}

void QueuedResultList::Insert(const std::string& column0, const std::string& column1,
                              std::shared_ptr<const RowDetails> details) {
  if (open_) {
    std::lock_guard lock(open_->mutex);
    if (!open_->taken) {
      open_->rows.emplace_back(column0, column1, std::move(details));
      return;
    }
  }
  open_ = std::make_shared<Batch>();
  open_->rows.emplace_back(column0, column1, std::move(details));
  PostBatch();
}

void QueuedResultList::PostBatch() {
  queue_.Post([batch = open_, model = model_, pass = pass_] {
    std::vector<ResultRow> rows;
    {
      std::lock_guard lock(batch->mutex);
      batch->taken = true;
      rows.swap(batch->rows);
    }
    if (model && pass.Valid()) model->AddAtTop(std::move(rows));
  });
}

ResultsPageReports::ResultsPageReports(UiReportQueue& queue, MessageBoxHost& boxes,
                                       const ResultsPageWidgets& widgets, ReportGate::Pass pass)
    : rows_(queue, widgets.list, pass),
      caption_(queue, widgets.caption, pass, [this] { rows_.EndBatch(); }),
      status_(queue, widgets.status, pass, [this] { rows_.EndBatch(); }),
      progress_(queue, widgets.progress, pass, QueuedProgressBar::Paint::kWithNextPaint,
                [this] { rows_.EndBatch(); }),
      boxes_(rows_, boxes),
      search_{rows_, caption_, status_, &progress_} {}

int ResultsPageReports::OrderedBoxes::ShowMessageBox(const std::string& text,
                                                     const std::optional<std::string>& caption,
                                                     uint32_t style) {
  rows_.EndBatch();
  return inner_.ShowMessageBox(text, caption, style);
}

}  // namespace quorvane::ui
