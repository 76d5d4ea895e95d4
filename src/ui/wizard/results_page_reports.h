#pragma once
// The results page's controls as its workers see them. Every change a worker
// makes travels through the page's report queue to the user-interface
// thread, in the order made. Rows travel in batches: a row joins the batch
// still waiting in the queue, unless the worker has changed another control
// since that batch was posted; then it opens a new batch behind that change.
// So the list, the caption, the status label, the bar and the buttons pass
// through the same states as if each change went over on its own, at the
// cost of one hop per batch.
#include <QAbstractButton>
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
  // Worker thread: later rows go into a new batch.
  void EndBatch() { open_.reset(); }

 private:
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

class QueuedButton final : public PushButton {
 public:
  QueuedButton(UiReportQueue& queue, QAbstractButton* button) : queue_(queue), button_(button) {}
  void SetEnabled(bool enabled) override;

 private:
  UiReportQueue& queue_;
  QPointer<QAbstractButton> button_;
};

// The widgets of the results page that its workers change.
struct ResultsPageWidgets {
  ResultListModel* list;
  QLabel* caption;
  QLabel* status;
  ProgressCtrl* progress;
  QAbstractButton* undelete;
  QAbstractButton* showFiles;
  QAbstractButton* abort;
};

// The reports of one worker run. Make on the user-interface thread as the
// run starts (the bar's state is copied then); destroy after the worker has
// been joined. `boxes` shows the worker's message boxes and must outlive it.
// Rows, texts and the bar reach the page only while `pass` is valid; button
// states always do.
class ResultsPageReports {
 public:
  ResultsPageReports(UiReportQueue& queue, MessageBoxHost& boxes, const ResultsPageWidgets& widgets,
                     ReportGate::Pass pass = {});
  ResultsPageReports(const ResultsPageReports&) = delete;
  ResultsPageReports& operator=(const ResultsPageReports&) = delete;

  // What the search and its worker report through.
  SearchControls& search() { return search_; }
  // What the engine reports through.
  StatusText& status() { return status_; }
  ProgressBar& progress() { return progress_; }
  MessageBoxHost& boxes() { return boxes_; }
  PushButton& undelete() { return undelete_; }
  PushButton& showFiles() { return show_files_; }
  PushButton& abort() { return abort_; }

 private:
  // Each of these ends the open row batch before it passes a change on.
  class OrderedText final : public StatusText {
   public:
    OrderedText(QueuedResultList& rows, UiReportQueue& queue, QLabel* label,
                ReportGate::Pass pass)
        : rows_(rows), inner_(queue, label, pass) {}
    void SetText(const std::string& text) override;

   private:
    QueuedResultList& rows_;
    QueuedStatusText inner_;
  };
  // The bar's state changes at once, as each operation is carried over; it
  // is painted with the page's next paint rather than on the spot. A
  // search blinks it once per directory, thousands of times a second, and
  // a progress bar otherwise paints itself at every visible change.
  class OrderedProgress final : public ProgressBar {
   public:
    OrderedProgress(QueuedResultList& rows, UiReportQueue& queue, ProgressCtrl* bar,
                    ReportGate::Pass pass);
    void SetRange32(int32_t low, int32_t high) override;
    void DeltaPos(int32_t delta) override;
    void SetStep(int32_t step) override;
    void StepIt() override;
    void SetPos(int32_t pos) override;
    // Answered from the worker's copy of the bar's state.
    int32_t GetPos() override { return shadow_.pos; }

   private:
    template <typename Op>
    void Forward(Op op);
    QueuedResultList& rows_;
    UiReportQueue& queue_;
    QPointer<ProgressCtrl> bar_;
    ReportGate::Pass pass_;
    ProgressState shadow_;
  };
  class OrderedButton final : public PushButton {
   public:
    OrderedButton(QueuedResultList& rows, UiReportQueue& queue, QAbstractButton* button)
        : rows_(rows), inner_(queue, button) {}
    void SetEnabled(bool enabled) override;

   private:
    QueuedResultList& rows_;
    QueuedButton inner_;
  };
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
  OrderedText caption_;
  OrderedText status_;
  OrderedProgress progress_;
  OrderedButton undelete_;
  OrderedButton show_files_;
  OrderedButton abort_;
  OrderedBoxes boxes_;
  SearchControls search_;
};

}  // namespace quorvane::ui
