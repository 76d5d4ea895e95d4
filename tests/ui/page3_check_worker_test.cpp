// Page 3's check of its directory on a worker, with the volume's open
// blocked as it is while the desktop asks for a password: the wizard keeps
// painting and says it is checking, a second Next starts nothing, Back and
// typing abandon the check (its result is dropped), and Cancel ends the
// wizard at once, then joins the blocked worker.
#include <gmock/gmock.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "latched_drives.h"
#include "res/dialogs/search_setup_page.h"
#include "support/mtools_volume.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

using res::search_setup_page::kDirectory;
using ui::CWizardSheet;

// Counts the paints a widget gets.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class Page3CheckTest : public SuiteVolumeFixture {
 protected:
  static void SetUpTestSuite() { MakeVolume().MakeDirectory("/DOCS"); }
  void SetUp() override {
    drives_.table().Map('C', volume_->path());
    StartWizard(drives_.table(), drives_);
    Forward(2);
  }
  ui::CUndeletePage3& page() { return launcher_->page3(); }
  QPushButton* SheetButton(int id) { return ui::FindControl<QPushButton>(&sheet(), id); }
  QLabel* Status() { return page().findChild<QLabel*>(QStringLiteral("checkStatus")); }
  // Types `directory` and clicks Next with the volume held: the check's
  // worker stops in its open.
  void NextHeld(const QString& directory) {
    Type(&page(), kDirectory, directory);
    drives_.Hold();
    ClickThroughWindow(SheetButton(CWizardSheet::kNextId));
    ASSERT_TRUE(drives_.WaitUntilLatched(++latched_)) << "no check started";
  }
  bool ShowsNoCheck() {
    return Status()->isHidden() && sheet().cursor().shape() == Qt::ArrowCursor;
  }

  LatchedDrives drives_;
  int latched_ = 0;
};

TEST_F(Page3CheckTest, ABlockedOpenLeavesTheWizardPaintingAndASecondNextStartsNothing) {
  NextHeld(QStringLiteral("C:\\DOCS"));
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  EXPECT_TRUE(WaitFor([&] { return fired; })) << "the event loop does not run";
  ASSERT_TRUE(WaitFor([&] { return Status()->isVisible(); }));
  EXPECT_EQ(Status()->text(), QStringLiteral("Checking the directory\u2026"));
  EXPECT_EQ(sheet().cursor().shape(), Qt::BusyCursor);
  PaintCounter painted(Status());
  Status()->update();
  EXPECT_TRUE(WaitFor([&] { return painted.paints > 0; })) << "the page is not painted";

  ClickThroughWindow(SheetButton(CWizardSheet::kNextId));
  QTest::qWait(200);
  EXPECT_EQ(drives_.Latched(), 1) << "a second Next started a second check";
  EXPECT_EQ(sheet().ActiveIndex(), 2);

  drives_.Release();
  ASSERT_TRUE(WaitFor([&] { return sheet().ActiveIndex() == 3; }));
  EXPECT_EQ(launcher_->state().m_strSearchDir, QStringLiteral("C:\\DOCS"));
  EXPECT_TRUE(ShowsNoCheck());
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page3CheckTest, BackAndTypingAbandonTheCheckAndItsResultIsDropped) {
  // Each abandoned check would have refused its directory with a box.
  NextHeld(QStringLiteral("C:\\Nowhere"));
  ClickThroughWindow(SheetButton(CWizardSheet::kBackId));
  EXPECT_EQ(sheet().ActiveIndex(), 1) << "Back waited for the check";
  EXPECT_TRUE(ShowsNoCheck());
  Forward(1);
  NextHeld(QStringLiteral("C:\\Gone"));
  NextHeld(QStringLiteral("C:\\DOCS"));  // typed over the directory being checked

  drives_.Release();
  ASSERT_TRUE(WaitFor([&] { return sheet().ActiveIndex() == 3; }));
  EXPECT_TRUE(WaitFor([&] { return page().Reads().Unjoined() == 0; }));
  QApplication::processEvents();
  EXPECT_TRUE(boxes_.boxes().empty()) << boxes_.boxes().front().text.toStdString();
  EXPECT_EQ(sheet().ActiveIndex(), 3);
  EXPECT_EQ(launcher_->state().m_strSearchDir, QStringLiteral("C:\\DOCS"));
}

TEST_F(Page3CheckTest, CancelEndsTheWizardWhileTheOpenIsBlockedThenJoinsTheWorker) {
  NextHeld(QStringLiteral("C:\\DOCS"));
  // The latch opens only once the wizard has gone from the screen; if it
  // went only after the worker's end, the latch opens after 20 s instead.
  std::atomic<bool> closed{false};
  std::atomic<bool> released_after_close{false};
  const auto connection = QObject::connect(&sheet(), &QDialog::finished, [&] { closed = true; });
  std::thread releaser([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!closed && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    released_after_close = closed.load();
    drives_.Release();
  });
  ClickThroughWindow(SheetButton(CWizardSheet::kCancelId));
  // The click returns once the worker has been joined.
  EXPECT_EQ(drives_.Returned(), 1);
  EXPECT_EQ(page().Reads().Unjoined(), 0u);
  releaser.join();
  QObject::disconnect(connection);
  EXPECT_TRUE(released_after_close) << "the wizard stayed up until its worker ended";
  EXPECT_FALSE(sheet().isVisible());
  EXPECT_EQ(sheet().result(), QDialog::Rejected);
  QApplication::processEvents();
  EXPECT_EQ(sheet().ActiveIndex(), 2);
  EXPECT_TRUE(launcher_->state().m_strSearchDir.isEmpty());
  EXPECT_TRUE(boxes_.boxes().empty());
}

}  // namespace
}  // namespace quorvane::testing
