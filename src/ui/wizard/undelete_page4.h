#pragma once
// Page 4: the results page. Show Files runs the deleted-file search on a
// worker thread and fills the list; Undelete recovers the file of the
// selected row, or the files of the selected rows, on a worker thread. One worker runs at a time: Show Files
// and Undelete come back only when it has ended.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "recovery/search_settings.h"
#include "ui/page_worker.h"
#include "ui/report_gate.h"
#include "ui/ui_report_queue.h"
#include "ui/worker_box_host.h"
#include "ui/wizard/result_list_model.h"
#include "ui/wizard/results_page_reports.h"
#include "ui/wizard/wizard_page.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace quorvane::ui {

class ProgressCtrl;

class CUndeletePage4 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage4(WizardContext& context);
  ~CUndeletePage4() override;

  bool OnSetActive() override;
  bool OnWizardBack() override;
  void OnShowFiles();
  void OnUndelete();
  void OnAbort();

  void RaiseAbort() override;
  void CloseWaitingBoxes() override;
  void JoinWorkers() override;

  // The abort flag the search and the engine read: 0 = go on, nonzero = stop.
  const std::atomic<int32_t>& AbortFlag() const { return g_bPage4Abort; }
  bool WorkerRunning() const { return m_worker.Running(); }
  const ResultListModel& Rows() const { return *m_model; }

 protected:
  void OnInitDialog() override;

 private:
  ResultsPageWidgets Widgets() const;
  // The list's Long Name and Condition columns, shown only for a search
  // that asked for them. The list must be empty.
  void ShowDetailColumns(bool detailed);
  // The one rule for Show Files, Undelete and Abort: the first two while no
  // worker runs, Abort while one does.
  enum class Run { kNone, kRunning };
  void ShowButtonsFor(Run run);
  // Starts `body` on the worker with the reports of a new run; afterwards
  // the worker is joined on the user-interface thread.
  void StartWorker(std::function<void(ResultsPageReports&)> body);
  // Undelete with several rows selected: `rows` (top to bottom) one after
  // the other on one worker, under one bar, told in one box at the end.
  void UndeleteRows(const std::vector<int>& rows);
  // The last search rebuilt first clusters cleared by an NT-family delete.
  bool NtDeletedSearch() const { return m_search && m_search->bSearchNtDeleted != 0; }
  bool FragmentsSearch() const { return m_search && m_search->bSearchFragments != 0; }
  void OnWorkerEnded(uint64_t run_number);

  QLabel* m_ctlCaption = nullptr;
  QLabel* m_ctlStatus = nullptr;
  ProgressCtrl* m_ctlProgress = nullptr;
  QTreeView* m_ctlList = nullptr;
  ResultListModel* m_model = nullptr;
  QPushButton* m_showFilesButton = nullptr;
  QPushButton* m_undeleteButton = nullptr;
  QPushButton* m_abortButton = nullptr;
  std::array<int, 2> m_plainWidths{};  // the two columns' widths, kept during a detailed search

  std::atomic<int32_t> g_bPage4Abort{0};
  uint64_t m_runNumber = 0;  // runs started; user-interface thread only
  ReportGate m_shown;        // outlives the queue, whose operations read it
  // Declared in this order so that, on destruction, the worker is joined
  // first, then its run's reports and inputs go, then the box host closes
  // its boxes, then the queue goes with any operation still waiting
  // (dropped, never run).
  UiReportQueue m_reports;
  WorkerMessageBoxHost m_boxes;
  std::unique_ptr<SearchSettings> m_search;
  std::unique_ptr<ResultsPageReports> m_run;
  PageWorker m_worker;
};

}  // namespace quorvane::ui
