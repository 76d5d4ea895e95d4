#pragma once
// Page 2: undelete one file whose full 8.3 path the user types. The
// recovery runs on a worker thread and reports into the page's status label
// and progress bar through the page's report queue.
#include <QString>
#include <atomic>
#include <cstdint>

#include "ui/page_worker.h"
#include "ui/report_gate.h"
#include "ui/ui_report_queue.h"
#include "ui/worker_box_host.h"
#include "ui/wizard/wizard_page.h"

class QLabel;
class QPushButton;

namespace quorvane::ui {

class ProgressCtrl;

class CUndeletePage2 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage2(WizardContext& context);
  ~CUndeletePage2() override;

  bool OnSetActive() override;
  bool OnWizardNext() override;
  void OnUndelete();
  void OnAbort();

  void RaiseAbort() override;
  void CloseWaitingBoxes() override;
  void JoinWorkers() override;

  // The abort flag the engine reads: 0 = go on, nonzero = stop.
  const std::atomic<int32_t>& AbortFlag() const { return g_bPage2Abort; }
  bool WorkerRunning() const { return m_worker.Running(); }

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& dx) override;

 private:
  void OnWorkerEnded();

  QLabel* m_ctlStatus = nullptr;
  ProgressCtrl* m_ctlProgress = nullptr;
  QString m_strFilePath;
  QPushButton* m_undeleteButton = nullptr;
  QPushButton* m_abortButton = nullptr;

  std::atomic<int32_t> g_bPage2Abort{0};
  ReportGate m_shown;  // outlives the queue, whose operations read it
  // Declared in this order so that, on destruction, the worker is joined
  // first, then the box host closes its boxes, then the queue goes with any
  // operation still waiting (dropped, never run).
  UiReportQueue m_reports;
  WorkerMessageBoxHost m_boxes;
  PageWorker m_worker;
};

}  // namespace quorvane::ui
