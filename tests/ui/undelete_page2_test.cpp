// The undelete-by-name page end to end: real widgets, real workers, real
// mtools volumes, the recovered bytes compared with the originals.
#include <gmock/gmock.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <thread>

#include "gated_drives.h"
#include "support/mtools_volume.h"
#include "ui/progress_ctrl.h"
#include "wizard_fixture.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ui::FindControl;

constexpr int kEdit = 1017, kUndelete = 1018, kAbort = 1032, kStatus = 1028, kProgress = 1029;

// One volume for the suite, clusters of 512 bytes:
//   /DOCS/REPORT.TXT (45 clusters, deleted)  /BIG.BIN (8 MiB, deleted)
//   /DOCS/KEEP.TXT (live)
class Page2Test : public WizardFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->MakeDirectory("/DOCS");
    volume_->AddFile("/DOCS/REPORT.TXT", Report());
    volume_->AddFile("/DOCS/KEEP.TXT", PatternBytes(700, 2));
    volume_->AddFile("/BIG.BIN", Big());
    volume_->Delete("/DOCS/REPORT.TXT").Delete("/BIG.BIN");
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }
  static std::vector<uint8_t> Report() { return PatternBytes(45 * 512 - 100, 1); }
  static std::vector<uint8_t> Big() { return PatternBytes(8 << 20, 7); }

  void SetUp() override {
    StartWizard(drives_);
    GoToPage2();
  }
  ui::CUndeletePage2& page() { return launcher_->page2(); }
  QPushButton* Button(int id) { return FindControl<QPushButton>(&page(), id); }
  QString Status() { return FindControl<QLabel>(&page(), kStatus)->text(); }
  const ui::ProgressState& Progress() {
    return FindControl<ui::ProgressCtrl>(&page(), kProgress)->state();
  }
  void Type(const QString& path) {
    auto* edit = FindControl<QLineEdit>(&page(), kEdit);
    edit->clear();
    QTest::keyClicks(edit, path);
  }
  bool WaitForIdle() {
    return WaitFor([&] { return !page().WorkerRunning() && Button(kUndelete)->isEnabled(); });
  }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  UnchangedGuard unchanged_{volume_->path()};
  GatedDrives drives_{'C', volume_->path()};
};

TempDir* Page2Test::dir_ = nullptr;
MtoolsVolume* Page2Test::volume_ = nullptr;

TEST_F(Page2Test, RecoversTypedPathIntoTheOutputDirectory) {
  EXPECT_TRUE(Button(kUndelete)->isEnabled());
  EXPECT_FALSE(Button(kAbort)->isEnabled());

  // When the engine's box comes up, every report made before it is shown.
  QString status_at_box;
  ui::ProgressState progress_at_box;
  boxes_.OnShow([&](QMessageBox&) {
    status_at_box = Status();
    progress_at_box = Progress();
  });
  Type(QStringLiteral("c:\\docs\\report.txt"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  EXPECT_FALSE(Button(kUndelete)->isEnabled());
  EXPECT_TRUE(Button(kAbort)->isEnabled());
  ASSERT_TRUE(WaitForIdle());

  EXPECT_EQ(ReadFileBytes(out_.File("REPORT.TXT")), Report());
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  const SeenBox& box = boxes_.boxes()[0];
  EXPECT_EQ(box.text, QStringLiteral("File Undeleted !"));
  EXPECT_EQ(box.caption, QStringLiteral("Quorvane"));
  EXPECT_EQ(box.style, 4160u);
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_TRUE(box.on_top);
  EXPECT_FALSE(box.blocks_wizard) << "a worker's box blocks only the worker";
  EXPECT_EQ(status_at_box, QStringLiteral("File Undeleted !"));
  EXPECT_EQ(progress_at_box.high, 45);
  EXPECT_EQ(progress_at_box.pos, 45);

  EXPECT_EQ(Status(), QStringLiteral("File Undeleted !"));
  EXPECT_EQ(Progress().high, 0);
  EXPECT_EQ(Progress().pos, 0);
  EXPECT_FALSE(Button(kAbort)->isEnabled());
}

TEST_F(Page2Test, EmptyPathAsksForAFileAndChangesNothing) {
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, QStringLiteral("Please enter a file to undelete !"));
  EXPECT_EQ(boxes_.boxes()[0].caption, QStringLiteral("Quorvane"));
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
  EXPECT_EQ(boxes_.boxes()[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(Button(kUndelete)->isEnabled());
  EXPECT_FALSE(Button(kAbort)->isEnabled());
  EXPECT_FALSE(page().WorkerRunning());
}

TEST_F(Page2Test, BlanksAreAPathTheEngineRefuses) {
  Type(QStringLiteral("   "));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  // Not the page's own message: the path went to the engine.
  EXPECT_THAT(boxes_.Texts(), ::testing::Not(::testing::Contains(
                                  QStringLiteral("Please enter a file to undelete !"))));
}

TEST_F(Page2Test, AbortDuringACopyStopsItAndKeepsOneWorker) {
  drives_.CloseGate();
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(drives_.WaitUntilHeld());

  QTest::mouseClick(Button(kAbort), Qt::LeftButton);
  EXPECT_EQ(page().AbortFlag().load(), 1);
  EXPECT_FALSE(Button(kAbort)->isEnabled());
  // One worker at a time: Undelete waits for this one to end.
  EXPECT_FALSE(Button(kUndelete)->isEnabled());
  EXPECT_TRUE(page().WorkerRunning());

  drives_.OpenGate();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Status(), QStringLiteral("Undeletion Aborted !"));
  EXPECT_EQ(Progress().high, 0);
  EXPECT_TRUE(boxes_.boxes().empty());
  const auto partial = ReadFileBytes(out_.File("BIG.BIN"));
  const auto big = Big();
  EXPECT_LT(partial.size(), big.size());
  EXPECT_EQ(partial, std::vector<uint8_t>(big.begin(), big.begin() + ptrdiff_t(partial.size())));

  // The next run starts with a cleared flag and goes to the end.
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ReadFileBytes(out_.File("BIG.BIN")), Big());
}

TEST_F(Page2Test, AbortBetweenUndeleteAndTheEngineIsNotLost) {
  // The flag is cleared before the worker starts: an Abort that comes before
  // the engine reads it still stops the run.
  drives_.CloseGate();
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  EXPECT_EQ(page().AbortFlag().load(), 0);
  QTest::mouseClick(Button(kAbort), Qt::LeftButton);
  drives_.OpenGate();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Status(), QStringLiteral("Undeletion Aborted !"));
}

TEST_F(Page2Test, NextDuringARunMovesOnAndStopsIt) {
  drives_.CloseGate();
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(drives_.WaitUntilHeld());

  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 2);
  EXPECT_EQ(page().AbortFlag().load(), 1);
  drives_.OpenGate();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Status(), QStringLiteral("Undeletion Aborted !"));
  EXPECT_LT(ReadFileBytes(out_.File("BIG.BIN")).size(), Big().size());

  // Coming back clears the path, the status and the bar.
  sheet().Back();
  QApplication::processEvents();
  EXPECT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(FindControl<QLineEdit>(&page(), kEdit)->text(), QString());
  EXPECT_EQ(Status(), QString());
}

TEST_F(Page2Test, BackLeavesTheRunGoingAndComingBackClearsThePage) {
  drives_.CloseGate();
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  sheet().Back();
  EXPECT_EQ(page().AbortFlag().load(), 0);
  sheet().Next();
  ASSERT_EQ(sheet().ActiveIndex(), 1);
  EXPECT_EQ(FindControl<QLineEdit>(&page(), kEdit)->text(), QString());
  EXPECT_EQ(Progress().high, 0);
  EXPECT_FALSE(Button(kUndelete)->isEnabled()) << "the run is still going";

  drives_.OpenGate();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ReadFileBytes(out_.File("BIG.BIN")), Big());
  EXPECT_EQ(Status(), QStringLiteral("File Undeleted !"));
}

TEST_F(Page2Test, WizardEndWhileAWorkerWaitsOnABoxClosesItAndJoins) {
  boxes_.LeaveOpen(true);
  Type(QStringLiteral("C:\\DOCS\\LONGFILENAME.TXT"));  // not an 8.3 name: the engine's box
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !boxes_.OpenBoxes().empty(); }));
  const SeenBox box = boxes_.boxes().back();
  EXPECT_EQ(box.text, QStringLiteral("Please use dos 8.3 file name format !!"));
  EXPECT_EQ(box.caption, ui::ApplicationTitle()) << "no caption of its own";
  EXPECT_EQ(box.style, 0u);
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  // The wizard stays usable while the worker waits.
  sheet().Next();
  EXPECT_EQ(sheet().ActiveIndex(), 2);
  sheet().Back();
  EXPECT_EQ(sheet().ActiveIndex(), 1);

  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  EXPECT_TRUE(boxes_.OpenBoxes().empty());
  EXPECT_EQ(page().AbortFlag().load(), 1);
}

TEST_F(Page2Test, WizardEndDuringACopyJoinsBeforeThePagesGo) {
  drives_.CloseGate();
  Type(QStringLiteral("C:\\BIG.BIN"));
  QTest::mouseClick(Button(kUndelete), Qt::LeftButton);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  // The gate opens while the user-interface thread is already joining.
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    drives_.OpenGate();
  });
  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  launcher_.reset();  // pages and controls go; nothing may touch them now
  QApplication::processEvents();
  opener.join();
  EXPECT_LT(ReadFileBytes(out_.File("BIG.BIN")).size(), Big().size());
}

}  // namespace
}  // namespace quorvane::testing
