#pragma once
// The results page's controls as its workers see them. Every change a worker
// makes travels through the page's report queue to the user-interface
// thread, in the order made. Rows travel in batches: a row joins the batch
// still waiting in the queue, unless the worker has changed another control
// since that batch was posted; then it opens a new batch behind that change.
// So the list, the caption, the status label and the bar pass through the
// same states as if each change went over on its own, at the cost of one hop
// per batch.
#include <QLabel>
#include <QPointer>
#include <memory>
#include <mutex>

#include "recovery/search_report.h"
#include "ui/progress_ctrl.h"
#include "ui/queued_reports.h"
#include "ui/ui_report_queue.h"
#include "ui/wizard/result_list_model.h"
#include "recovery/message_box_host.h"

namespace quorvane::ui {

class QueuedResultList final : public ResultList {
 public:
  QueuedResultList(UiReportQueue& queue, ResultListModel* model, ReportGate::Pass pass = {})
      : queue_(queue), model_(model), pass_(pass) {}
  // Worker thread.
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override;
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override;
  // Worker thread: later rows go into a new batch.
  void EndBatch() { open_.reset(); }

 private:
  void Insert(const std::string& column0, const std::string& column1,
              std::shared_ptr<const RowDetails> details);
  void PostBatch();  // posts the open batch

  struct Batch {
    std::mutex mutex;
    std::vector<ResultRow> rows;
    bool taken = false;  // the user-interface thread has shown it
  };
  UiReportQueue& queue_;
  QPointer<ResultListModel> model_;
  ReportGate::Pass pass_;
  std::shared_ptr<Batch> open_;  // worker thread only
};

// The widgets of the results page that its workers change.
struct ResultsPageWidgets {
  ResultListModel* list;
  QLabel* caption;
  QLabel* status;
  ProgressCtrl* progress;
};

// The reports of one worker run. Make as the run starts; destroy after the
// worker has been joined. `boxes` shows the worker's message boxes and must
// outlive it. Rows, texts and the bar reach the page only while `pass` is
// valid.
class ResultsPageReports {
 public:
  ResultsPageReports(UiReportQueue& queue, MessageBoxHost& boxes, const ResultsPageWidgets& widgets,
                     ReportGate::Pass pass = {});
  ResultsPageReports(const ResultsPageReports&) = delete;
  ResultsPageReports& operator=(const ResultsPageReports&) = delete;

  // What the search reports through.
  SearchReport& search() { return search_; }
  // What the engine reports through.
  StatusText& status() { return status_; }
  // The caption above the list.
  StatusText& caption() { return caption_; }
  ProgressBar& progress() { return progress_; }
  MessageBoxHost& boxes() { return boxes_; }

 private:
  // A box ends the open row batch before it is shown.
  class OrderedBoxes final : public MessageBoxHost {
   public:
    OrderedBoxes(QueuedResultList& rows, MessageBoxHost& inner) : rows_(rows), inner_(inner) {}
    int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                       uint32_t style) override;

   private:
    QueuedResultList& rows_;
    MessageBoxHost& inner_;
  };

  QueuedResultList rows_;
  QueuedStatusText caption_;
  QueuedStatusText status_;
  QueuedProgressBar progress_;
  OrderedBoxes boxes_;
  SearchReport search_;
};

}  // namespace quorvane::ui
