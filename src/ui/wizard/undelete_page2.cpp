#include "ui/wizard/undelete_page2.h"

#include <algorithm>

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "res/dialogs/undelete_by_name_page.h"
#include "recovery/engine_texts.h"
#include "recovery/undelete_engine.h"
#include "ui/message_boxes.h"
#include "ui/progress_ctrl.h"
#include "ui/queued_reports.h"
#include "ui/wizard/wizard_sheet.h"

namespace quorvane::ui {

namespace id = res::undelete_by_name_page;

CUndeletePage2::CUndeletePage2(WizardContext& context)
    : CWizardPage(res::kUndeleteByNamePage, context), m_boxes(m_reports) {}

CUndeletePage2::~CUndeletePage2() {
  RaiseAbort();
  CloseWaitingBoxes();
  JoinWorkers();
}

void CUndeletePage2::DoDataExchange(DataExchange& dx) {
  m_ctlStatus = Control<QLabel>(id::kStatus);
  m_ctlProgress = Control<ProgressCtrl>(id::kProgress);
  dx.Text(id::kFilePath, m_strFilePath);
}

void CUndeletePage2::OnInitDialog() {
  CWizardPage::OnInitDialog();
  m_undeleteButton = Control<QPushButton>(id::kUndelete);
  m_abortButton = Control<QPushButton>(id::kAbort);
  connect(m_undeleteButton, &QPushButton::clicked, this, &CUndeletePage2::OnUndelete);
  connect(m_abortButton, &QPushButton::clicked, this, &CUndeletePage2::OnAbort);
  m_abortButton->setEnabled(false);
}

bool CUndeletePage2::OnSetActive() {
  PostWizardButtons(CWizardSheet::kBack | CWizardSheet::kNext);
  // A run of an earlier visit may still be ending: nothing it reports from
  // now on lands on the cleared page.
  m_shown.DropEarlierRuns();
  m_strFilePath.clear();
  m_ctlStatus->setText(QString());
  m_ctlProgress->SetRange32(0, 0);
  m_ctlProgress->SetPos(0);
  UpdateData(false);
  return CWizardPage::OnSetActive();
}

void CUndeletePage2::OnUndelete() {
  UpdateData(true);
  if (m_strFilePath.isEmpty()) {
    ShowModalMessageBox(this, QStringLiteral("Please enter a file to undelete !"),
                        QString::fromLatin1(texts::kAppCaption), kMbIconExclamation);
    return;
  }
  // One worker at a time: Undelete comes back only when this one has ended.
  if (m_worker.Running()) return;
  m_undeleteButton->setEnabled(false);
  m_abortButton->setEnabled(true);
  // Cleared here, before the start, so that an Abort or Next given before
  // the worker reaches the engine still stops it.
  g_bPage2Abort.store(0);

  // The path goes to the engine byte for byte as Latin-1 (an 8.3 path, its
  // deleted mark as å). A path with characters past Latin-1 can only be one
  // of exFAT's whole names: it goes as UTF-8, which the engine takes too.
  const bool latin1 = std::all_of(m_strFilePath.begin(), m_strFilePath.end(),
                                  [](QChar c) { return c.unicode() <= 0xFF; });
  const QByteArray bytes = latin1 ? m_strFilePath.toLatin1() : m_strFilePath.toUtf8();
  std::string path(bytes.constData(), size_t(bytes.size()));
  auto status = std::make_shared<QueuedStatusText>(m_reports, m_ctlStatus, m_shown.Issue());
  auto progress =
      std::make_shared<QueuedProgressBar>(m_reports, m_ctlProgress, m_shown.Issue());
  DriveSource& drives = context_.drives;
  m_worker.Start([this, &drives, path = std::move(path), status, progress]() mutable {
    // UndeleteByNameWorker: an engine of its own for this run.
    CUndeleteEngine engine(drives, m_boxes);
    engine.UndeleteByPath(std::move(path), *status, *progress, g_bPage2Abort);
    m_reports.Post([this] { OnWorkerEnded(); });
  });
  // A worker that could not be started leaves the page running with
  // nothing to wait for; Abort brings it back.
}

void CUndeletePage2::OnWorkerEnded() {
  m_worker.Join();
  m_undeleteButton->setEnabled(true);
  m_abortButton->setEnabled(false);
}

void CUndeletePage2::OnAbort() {
  g_bPage2Abort.store(1);
  m_abortButton->setEnabled(false);
  // Undelete returns when the worker has ended, unless there is none.
  if (!m_worker.Running()) m_undeleteButton->setEnabled(true);
}

bool CUndeletePage2::OnWizardNext() {
  g_bPage2Abort.store(1);
  return true;
}

void CUndeletePage2::RaiseAbort() { g_bPage2Abort.store(1); }
void CUndeletePage2::CloseWaitingBoxes() { m_boxes.CloseAll(); }
void CUndeletePage2::JoinWorkers() { m_worker.Join(); }

}  // namespace quorvane::ui
