#include "ui/wizard/undelete_page4.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>
#include <charconv>

#include "recovery/search_context.h"
#include "recovery/undelete_batch.h"
#include "recovery/undelete_engine.h"
#include "res/dialogs/results_page.h"
#include "ui/progress_ctrl.h"
#include "ui/wizard/wizard_sheet.h"
#include "ui/wizard/wizard_state.h"

namespace quorvane::ui {

namespace id = res::results_page;

CUndeletePage4::CUndeletePage4(WizardContext& context)
    : CWizardPage(res::kResultsPage, context), m_boxes(m_reports) {}

CUndeletePage4::~CUndeletePage4() {
  RaiseAbort();
  CloseWaitingBoxes();
  JoinWorkers();
}

void CUndeletePage4::OnInitDialog() {
  CWizardPage::OnInitDialog();
  m_ctlCaption = Control<QLabel>(id::kCaption);
  m_ctlStatus = Control<QLabel>(id::kStatus);
  m_ctlProgress = Control<ProgressCtrl>(id::kProgress);
  m_ctlList = Control<QTreeView>(id::kList);
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

  m_showFilesButton = Control<QPushButton>(id::kShowFiles);
  m_undeleteButton = Control<QPushButton>(id::kUndelete);
  m_abortButton = Control<QPushButton>(id::kAbort);
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
  auto search = std::make_unique<SearchSettings>(ToSearchSettings(context_.state));
  ShowDetailColumns(search->bSearchDetails != 0);
  // As ShowButtonsFor(Run::kRunning), but Show Files, which has the focus,
  // goes first, so that the focus moves on as it always has.
  m_showFilesButton->setEnabled(false);
  m_undeleteButton->setEnabled(false);
  m_abortButton->setEnabled(true);
  g_bPage4Abort.store(0);
  m_ctlStatus->setText(QStringLiteral("Searching the file system for undeletable files..."));
  // Every search blinks from the empty bar, whatever the last run left.
  m_ctlProgress->SetRange32(0, 0);
  m_ctlProgress->SetPos(0);

  m_search = std::move(search);
  StartWorker([this, &drives = context_.drives, &search = *m_search](ResultsPageReports& run) {
    RunSearch(drives, run.boxes(), search, run.search(), g_bPage4Abort);
  });
}

namespace {

// The size a row shows, as a number.
uint64_t ListedSize(const ResultRow& row) {
  uint64_t size = 0;
  std::from_chars(row.size.data(), row.size.data() + row.size.size(), size);
  return size;
}

// The options a row is recovered with, alone or among others, after a
// search that rebuilt cleared high words or not, keeping going past
// unreadable sectors or not, following fragments or not.
UndeleteOptions OptionsForRow(const ResultRow& row, bool nt_deleted, bool keep_going, bool fragments) {
  UndeleteOptions options;
  // A row that shows its first cluster is recovered from its own entry,
  // whatever entries of its name come before it.
  if (row.details) options.expectedEntry = ExpectedEntry{ListedSize(row), row.Details().firstCluster};
  options.keepGoing = keep_going;
  options.stepOverClaims = options.fragments = fragments;
  // The walk back to the row rebuilds deleted directories' first clusters
  // as the search that listed it did.
  options.rebuildClearedHighWord = nt_deleted;
  // A row whose first cluster the search rebuilt is copied from that
  // cluster, and the final status says so; every other row as it always was.
  const FileCondition condition = row.Details().condition;
  if (condition == FileCondition::kRebuilt || condition == FileCondition::kGuessed)
    options.rebuiltCluster =
        RebuiltCluster{row.Details().firstCluster, condition == FileCondition::kGuessed};
  return options;
}

}  // namespace

void CUndeletePage4::OnUndelete() {
  if (m_worker.Running()) m_worker.Join();
  ShowButtonsFor(Run::kRunning);
  // The selected rows, top to bottom as shown.
  std::vector<int> selected;
  for (const QModelIndex& index : m_ctlList->selectionModel()->selectedRows())
    selected.push_back(index.row());
  std::sort(selected.begin(), selected.end());
  // Cleared here, before the start, so that an Abort or Back given before
  // the worker reaches the engine still stops it.
  g_bPage4Abort.store(0);
  if (selected.size() > 1) {
    UndeleteRows(selected);
    return;
  }

  // The selected row's path, as the bytes the search gave; empty when no
  // row is selected (the engine then says what it wants).
  std::string path;
  UndeleteOptions options;
  if (!selected.empty()) {
    const ResultRow& row = m_model->Row(selected.front());
    path = row.path;
    options = OptionsForRow(row, NtDeletedSearch(), context_.state.m_bKeepGoing != 0, FragmentsSearch());
  }
  StartWorker([this, &drives = context_.drives, path = std::move(path),
               options = std::move(options)](ResultsPageReports& run) {
    // UndeleteSelectedWorker: an engine of its own for this run.
    CUndeleteEngine engine(drives, run.boxes());
    engine.SetOptions(options);
    engine.UndeleteByPath(path, run.status(), run.progress(), g_bPage4Abort);
  });
}

void CUndeletePage4::UndeleteRows(const std::vector<int>& rows) {
  std::vector<BatchFile> files;
  files.reserve(rows.size());
  for (const int index : rows) {
    const ResultRow& row = m_model->Row(index);
    // Several files always keep going: one bad sector should not cost
    // every byte after it, and the summary tells where the zeros are.
    files.push_back({row.path, OptionsForRow(row, NtDeletedSearch(), true, FragmentsSearch()), ListedSize(row)});
  }
  // The caption names each file while it is copied, and comes back after.
  std::string caption = m_ctlCaption->text().toLatin1().toStdString();
  StartWorker([this, &drives = context_.drives, files = std::move(files),
               caption = std::move(caption)](ResultsPageReports& run) {
    const NamingLabel naming{run.caption(), caption};
    UndeleteBatch(drives, files, run.status(), &naming, run.progress(), run.boxes(),
                  g_bPage4Abort);
  });
}

void CUndeletePage4::ShowDetailColumns(bool detailed) {
  if (detailed == m_model->detailed()) return;
  if (detailed) m_plainWidths = {m_ctlList->columnWidth(0), m_ctlList->columnWidth(1)};
  m_model->SetDetailed(detailed);
  if (detailed) {
    // All four columns in view, the two names widest.
    const int width = m_ctlList->viewport()->width();
    const int widths[] = {width * 27 / 100, width * 13 / 100, width * 38 / 100};
    for (int column = 0; column < 3; ++column) m_ctlList->setColumnWidth(column, widths[column]);
    m_ctlList->setColumnWidth(3, width - widths[0] - widths[1] - widths[2]);
  } else {
    // The two columns as they were before the detailed search.
    m_ctlList->setColumnWidth(0, m_plainWidths[0]);
    m_ctlList->setColumnWidth(1, m_plainWidths[1]);
  }
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
