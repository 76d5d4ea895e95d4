#include "ui/wizard/undelete_page4.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include "recovery/search_context.h"
#include "recovery/undelete_engine.h"
#include "res/dialogs/results_page.h"
#include "ui/progress_ctrl.h"
#include "ui/wizard/wizard_sheet.h"
#include "ui/wizard/wizard_state.h"

namespace quorvane::ui {
namespace {

std::string Latin1Bytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace

CUndeletePage4::CUndeletePage4(WizardContext& context)
    : CWizardPage(res::kResultsPage, context), m_boxes(m_reports) {}

CUndeletePage4::~CUndeletePage4() {
  RaiseAbort();
  CloseWaitingBoxes();
  JoinWorkers();
}

void CUndeletePage4::OnInitDialog() {
  CWizardPage::OnInitDialog();
  m_ctlCaption = Control<QLabel>(1033);
  m_ctlStatus = Control<QLabel>(1028);
  m_ctlProgress = Control<ProgressCtrl>(1029);
  m_ctlList = Control<QTreeView>(1020);
  m_model = new ResultListModel(this);
  m_ctlList->setModel(m_model);
  m_ctlList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_ctlList->header()->setStretchLastSection(false);
  m_ctlList->setColumnWidth(0, 300);
  m_ctlList->setColumnWidth(1, 100);
  // The selection shows only while the list has the focus.
  QPalette palette = m_ctlList->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
  m_ctlList->setPalette(palette);

  m_showFilesButton = Control<QPushButton>(1021);
  m_undeleteButton = Control<QPushButton>(1018);
  m_abortButton = Control<QPushButton>(1032);
  connect(m_showFilesButton, &QPushButton::clicked, this, &CUndeletePage4::OnShowFiles);
  connect(m_undeleteButton, &QPushButton::clicked, this, &CUndeletePage4::OnUndelete);
  connect(m_abortButton, &QPushButton::clicked, this, &CUndeletePage4::OnAbort);
  m_undeleteButton->setEnabled(false);
  m_abortButton->setEnabled(false);
}

bool CUndeletePage4::OnSetActive() {
  PostWizardButtons(CWizardSheet::kBack | CWizardSheet::kFinish);
  // A run of an earlier visit may still be ending: none of its rows, texts
  // or blinks land on the cleared page.
  m_shown.DropEarlierRuns();
  m_model->Clear();
  m_ctlStatus->setText(QStringLiteral(" "));
  m_ctlProgress->SetRange32(0, 0);
  m_ctlProgress->SetPos(0);
  return CWizardPage::OnSetActive();
}

ResultsPageWidgets CUndeletePage4::Widgets() const {
  return {m_model, m_ctlCaption, m_ctlStatus, m_ctlProgress};
}

void CUndeletePage4::ShowButtonsFor(Run run) {
  m_undeleteButton->setEnabled(run == Run::kNone);
  m_showFilesButton->setEnabled(run == Run::kNone);
  m_abortButton->setEnabled(run == Run::kRunning);
}

void CUndeletePage4::OnShowFiles() {
  // The buttons come back only when the last worker has ended; it may not
  // have been joined yet.
  if (m_worker.Running()) m_worker.Join();
  m_model->Clear();
  const WizardState& state = context_.state;
  auto search = std::make_unique<SearchSettings>();
  search->strSearchDir = Latin1Bytes(state.m_strSearchDir);
  m_showFilesButton->setEnabled(false);
  m_undeleteButton->setEnabled(false);
  m_abortButton->setEnabled(true);
  search->bSearchRecurse = state.m_bRecurse;
  search->bSearchDeletedDirs = state.m_bSearchDeletedDirs;
  search->bSearchSkipUnrecoverable = state.m_bSkipUnrecoverable;
  g_bPage4Abort.store(0);
  // The filter texts go over whether their filters are on or off.
  search->bSearchExtFilter = state.m_bExtFilter;
  search->bSearchNameFilter = state.m_bNameFilter;
  search->bSearchDeletedDirFilter = state.m_bDeletedDirFilter;
  SetFilterText(search->szSearchExtFilter, Latin1Bytes(state.m_strExtFilter));
  SetFilterText(search->szSearchNameFilter, Latin1Bytes(state.m_strNameFilter));
  SetFilterText(search->szSearchDeletedDirFilter, Latin1Bytes(state.m_strDeletedDirFilter));
  m_ctlStatus->setText(QStringLiteral("Searching the file system for undeletable files..."));
  // Every search blinks from the empty bar, whatever the last run left.
  m_ctlProgress->SetRange32(0, 0);
  m_ctlProgress->SetPos(0);

  m_search = std::move(search);
  StartWorker([this, &drives = context_.drives, &search = *m_search](ResultsPageReports& run) {
    RunSearch(drives, run.boxes(), search, run.search(), g_bPage4Abort);
  });
}

void CUndeletePage4::OnUndelete() {
  if (m_worker.Running()) m_worker.Join();
  ShowButtonsFor(Run::kRunning);
  // The topmost selected row's path, as the bytes the search gave; empty
  // when no row is selected (the engine then says what it wants).
  std::string path;
  int top = -1;
  for (const QModelIndex& index : m_ctlList->selectionModel()->selectedRows()) {
    if (top < 0 || index.row() < top) top = index.row();
  }
  if (top >= 0) path = m_model->Row(top).path;
  // Cleared here, before the start, so that an Abort or Back given before
  // the worker reaches the engine still stops it.
  g_bPage4Abort.store(0);
  StartWorker([this, &drives = context_.drives, path = std::move(path)](ResultsPageReports& run) {
    // UndeleteSelectedWorker: an engine of its own for this run.
    CUndeleteEngine engine(drives, run.boxes());
    engine.UndeleteByPath(path, run.status(), run.progress(), g_bPage4Abort);
  });
}

void CUndeletePage4::StartWorker(std::function<void(ResultsPageReports&)> body) {
  m_run = std::make_unique<ResultsPageReports>(m_reports, m_boxes, Widgets(), m_shown.Issue());
  const uint64_t run_number = ++m_runNumber;
  m_worker.Start([this, body = std::move(body), &run = *m_run, run_number] {
    body(run);
    m_reports.Post([this, run_number] { OnWorkerEnded(run_number); });
  });
  // A worker that could not be started leaves the page busy with nothing
  // to wait for; Abort brings it back.
}

void CUndeletePage4::OnWorkerEnded(uint64_t run_number) {
  // This comes after every report of the run. Only the run started last is
  // joined and gives the buttons back.
  if (run_number != m_runNumber) return;
  m_worker.Join();
  ShowButtonsFor(Run::kNone);
}

void CUndeletePage4::OnAbort() {
  g_bPage4Abort.store(1);
  // Show Files and Undelete come back when the worker has ended, so that
  // two workers never share the list and the labels; with no worker they
  // come back now.
  if (m_worker.Running())
    m_abortButton->setEnabled(false);
  else
    ShowButtonsFor(Run::kNone);
}

bool CUndeletePage4::OnWizardBack() {
  g_bPage4Abort.store(1);
  return true;
}

void CUndeletePage4::RaiseAbort() { g_bPage4Abort.store(1); }
void CUndeletePage4::CloseWaitingBoxes() { m_boxes.CloseAll(); }
void CUndeletePage4::JoinWorkers() { m_worker.Join(); }

}  // namespace quorvane::ui
