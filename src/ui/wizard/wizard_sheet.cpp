#include "ui/wizard/wizard_sheet.h"

#include <QFrame>
#include <QMetaObject>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>

#include "ui/dialog_builder.h"
#include "ui/dialog_units.h"
#include "ui/find_control.h"
#include "ui/wizard/wizard_page.h"

namespace quorvane::ui {
namespace {

// Frame measures in dialog units.
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;

QPushButton* MakeButton(const char* text, int id, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::number(id));
  button->setProperty(kControlIdProperty, id);
  return button;
}

}  // namespace

CWizardSheet::CWizardSheet(QWidget* parent) : QDialog(parent) {
  setFont(DialogFont());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

CWizardSheet::~CWizardSheet() {
  // Pages belong to their owner: take them out before the stack goes.
  for (CWizardPage* page : pages_) {
    if (page && stack_ && page->parent() == stack_) {
      stack_->removeWidget(page);
      page->setParent(nullptr);
    }
  }
}

void CWizardSheet::AddPage(CWizardPage* page) { pages_.push_back(page); }

CWizardPage* CWizardSheet::ActivePage() const {
  return active_ >= 0 ? pages_[size_t(active_)] : nullptr;
}

void CWizardSheet::BuildFrame() {
  if (framed_) return;
  framed_ = true;
  const DialogUnits units = DialogUnits::FromFont(font());
  QSize area(0, 0);
  for (const CWizardPage* page : pages_) {
    if (page) area = area.expandedTo(DialogSize(page->dialog(), font()));
  }

  stack_ = new QStackedWidget(this);
  stack_->setGeometry(QRect(QPoint(units.X(kMargin), units.Y(kMargin)), area));
  for (CWizardPage* page : pages_) {
    if (page) stack_->addWidget(page);
  }

  const int line_y = stack_->geometry().bottom() + 1 + units.Y(kMargin);
  auto* line = new QFrame(this);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  const int width = area.width() + 2 * units.X(kMargin);
  line->setGeometry(units.X(kMargin), line_y, width - 2 * units.X(kMargin), 2);

  const int button_y = line_y + 2 + units.Y(kMargin);
  const int bw = units.X(kButtonWidth);
  const int bh = units.Y(kButtonHeight);
  back_ = MakeButton("< &Back", kBackId, this);
  next_ = MakeButton("&Next >", kNextId, this);
  finish_ = MakeButton("Finish", kFinishId, this);
  cancel_ = MakeButton("Cancel", kCancelId, this);
  const int cancel_x = width - units.X(kMargin) - bw;
  const int next_x = cancel_x - units.X(kMargin) - bw;
  cancel_->setGeometry(cancel_x, button_y, bw, bh);
  next_->setGeometry(next_x, button_y, bw, bh);
  finish_->setGeometry(next_x, button_y, bw, bh);
  back_->setGeometry(next_x - bw, button_y, bw, bh);
  finish_->hide();
  connect(back_, &QPushButton::clicked, this, &CWizardSheet::Back);
  connect(next_, &QPushButton::clicked, this, &CWizardSheet::Next);
  connect(finish_, &QPushButton::clicked, this, &CWizardSheet::Finish);
  connect(cancel_, &QPushButton::clicked, this, &CWizardSheet::reject);
  next_->setDefault(true);
  setFixedSize(width, button_y + bh + units.Y(kMargin));
}

void CWizardSheet::Open() {
  BuildFrame();
  stopped_ = false;
  if (!pages_.empty()) SetActivePage(0);
}

void CWizardSheet::Begin() {
  Open();
  show();
}

int CWizardSheet::DoModal() {
  Open();
  // Shown by exec() itself: a window is made modal only as it is shown, so
  // a sheet already on screen would stay an ordinary window, blocked by the
  // main window beneath it. It blocks its owner only (the main window): a
  // worker's box, which has no owner, stays within reach.
  if (windowModality() == Qt::NonModal) setWindowModality(Qt::WindowModal);
  return exec();
}

void CWizardSheet::SetActivePage(int index) {
  CWizardPage* page = pages_[size_t(index)];
  if (!page->IsCreated()) {
    page->Create();
    // Tab goes from the page's last control to the wizard's buttons and
    // from Cancel back to the page, as in a property sheet; the controls
    // are made after the buttons, which would otherwise come first.
    const std::vector<QWidget*> stops = page->TabStops();
    if (!stops.empty()) {
      QWidget::setTabOrder(stops.back(), back_);
      QWidget::setTabOrder(back_, next_);
      QWidget::setTabOrder(next_, finish_);
      QWidget::setTabOrder(finish_, cancel_);
    }
  }
  page->OnSetActive();
  active_ = index;
  stack_->setCurrentWidget(page);
  setWindowTitle(page->Title());
  if (QWidget* first = page->FirstTabStop()) first->setFocus(Qt::TabFocusReason);
}

void CWizardSheet::SetWizardButtons(int mask) {
  if (!framed_) return;
  back_->setEnabled(mask & kBack);
  const bool finish = mask & kFinish;
  finish_->setVisible(finish);
  finish_->setEnabled(finish);
  next_->setVisible(!finish);
  next_->setEnabled(mask & kNext);
  (finish ? finish_ : next_)->setDefault(true);
}

void CWizardSheet::PostWizardButtons(int mask) {
  QMetaObject::invokeMethod(this, [this, mask] { SetWizardButtons(mask); }, Qt::QueuedConnection);
}

void CWizardSheet::PostPressCancel() {
  QMetaObject::invokeMethod(this, [this] { reject(); }, Qt::QueuedConnection);
}

void CWizardSheet::Next() {
  CWizardPage* page = ActivePage();
  if (!page || active_ + 1 >= PageCount()) return;
  if (!page->OnKillActive()) return;
  if (!page->OnWizardNext()) return;
  SetActivePage(active_ + 1);
}

void CWizardSheet::NextFrom(CWizardPage* page) {
  if (!page || page != ActivePage() || active_ + 1 >= PageCount()) return;
  SetActivePage(active_ + 1);
}

void CWizardSheet::Back() {
  CWizardPage* page = ActivePage();
  if (!page || active_ == 0) return;
  if (!page->OnKillActive()) return;
  if (!page->OnWizardBack()) return;
  SetActivePage(active_ - 1);
}

void CWizardSheet::Finish() {
  CWizardPage* page = ActivePage();
  if (page && !page->OnWizardFinish()) return;
  accept();
}

void CWizardSheet::StopPageWork() {
  if (stopped_) return;
  stopped_ = true;
  for (CWizardPage* page : pages_) {
    if (page) page->RaiseAbort();
  }
  for (CWizardPage* page : pages_) {
    if (page) page->CloseWaitingBoxes();
  }
  for (CWizardPage* page : pages_) {
    if (page) page->JoinWorkers();
  }
}

void CWizardSheet::done(int result) {
  // The wizard goes from the screen first: a worker may be waiting for a
  // device to open while the desktop asks for a password, and the wait for
  // it to end should not show as a wizard that no longer answers.
  QDialog::done(result);
  StopPageWork();
}

}  // namespace quorvane::ui
