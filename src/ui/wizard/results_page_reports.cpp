#include "ui/wizard/results_page_reports.h"

namespace quorvane::ui {

void QueuedResultList::InsertRowAtTop(const std::string& column0, const std::string& column1) {
  if (open_) {
    std::lock_guard lock(open_->mutex);
    if (!open_->taken) {
      open_->rows.push_back({column0, column1});
      return;
    }
  }
  open_ = std::make_shared<Batch>();
  open_->rows.push_back({column0, column1});
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

void QueuedButton::SetEnabled(bool enabled) {
  queue_.Post([button = button_, enabled] {
    if (button) button->setEnabled(enabled);
  });
}

ResultsPageReports::ResultsPageReports(UiReportQueue& queue, MessageBoxHost& boxes,
                                       const ResultsPageWidgets& widgets, ReportGate::Pass pass)
    : rows_(queue, widgets.list, pass),
      caption_(rows_, queue, widgets.caption, pass),
      status_(rows_, queue, widgets.status, pass),
      progress_(rows_, queue, widgets.progress, pass),
      undelete_(rows_, queue, widgets.undelete),
      show_files_(rows_, queue, widgets.showFiles),
      abort_(rows_, queue, widgets.abort),
      boxes_(rows_, boxes),
      search_{rows_, caption_, status_, progress_, undelete_, show_files_, abort_} {}

void ResultsPageReports::OrderedText::SetText(const std::string& text) {
  rows_.EndBatch();
  inner_.SetText(text);
}

ResultsPageReports::OrderedProgress::OrderedProgress(QueuedResultList& rows, UiReportQueue& queue,
                                                     ProgressCtrl* bar, ReportGate::Pass pass)
    : rows_(rows),
      queue_(queue),
      bar_(bar),
      pass_(pass),
      shadow_(bar ? bar->state() : ProgressState{}) {}

template <typename Op>
void ResultsPageReports::OrderedProgress::Forward(Op op) {
  rows_.EndBatch();
  op(shadow_);
  queue_.Post([bar = bar_, pass = pass_, op] {
    if (!bar || !pass.Valid()) return;
    bar->setUpdatesEnabled(false);
    op(*bar);
    bar->setUpdatesEnabled(true);  // asks for a paint with the next one
  });
}

void ResultsPageReports::OrderedProgress::SetRange32(int32_t low, int32_t high) {
  Forward([low, high](auto& bar) { bar.SetRange32(low, high); });
}
void ResultsPageReports::OrderedProgress::DeltaPos(int32_t delta) {
  Forward([delta](auto& bar) { bar.DeltaPos(delta); });
}
void ResultsPageReports::OrderedProgress::SetStep(int32_t step) {
  Forward([step](auto& bar) { bar.SetStep(step); });
}
void ResultsPageReports::OrderedProgress::StepIt() {
  Forward([](auto& bar) { bar.StepIt(); });
}
void ResultsPageReports::OrderedProgress::SetPos(int32_t pos) {
  Forward([pos](auto& bar) { bar.SetPos(pos); });
}

void ResultsPageReports::OrderedButton::SetEnabled(bool enabled) {
  rows_.EndBatch();
  inner_.SetEnabled(enabled);
}

int ResultsPageReports::OrderedBoxes::ShowMessageBox(const std::string& text,
                                                     const std::optional<std::string>& caption,
                                                     uint32_t style) {
  rows_.EndBatch();
  return inner_.ShowMessageBox(text, caption, style);
}

}  // namespace quorvane::ui
