// The undelete-by-name page end to end: real widgets, real workers, a real
// mtools volume, the recovered bytes compared with the originals.
#include <gmock/gmock.h>

#include <QPushButton>
#include <filesystem>
#include <thread>

#include "held_drives.h"
#include "res/dialogs/undelete_by_name_page.h"
#include "support/mtools_volume.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

using namespace res::undelete_by_name_page;
const QString kAborted = QStringLiteral("Undeletion Aborted !");

// Clusters of 512 bytes: /DOCS/REPORT.TXT (45 clusters) and /BIG.BIN
// (8 MiB) deleted, /DOCS/KEEP.TXT live.
class Page2Test : public SuiteVolumeFixture {
 protected:
  static void SetUpTestSuite() {
    MakeVolume().MakeDirectory("/DOCS").AddFile("/DOCS/REPORT.TXT", Report())
        .AddFile("/DOCS/KEEP.TXT", PatternBytes(700, 2)).AddFile("/BIG.BIN", Big())
        .Delete("/DOCS/REPORT.TXT").Delete("/BIG.BIN");
  }
  static std::vector<uint8_t> Report() { return PatternBytes(45 * 512 - 100, 1); }
  static std::vector<uint8_t> Big() { return PatternBytes(8 << 20, 7); }

  void SetUp() override {
    StartWizard(drives_.table(), drives_);
    Forward(1);
  }
  ui::CUndeletePage2& page() { return launcher_->page2(); }
  bool Enabled(int id) { return ui::FindControl<QPushButton>(&page(), id)->isEnabled(); }
  QString Status() { return TextOf(&page(), kStatus); }
  void Undelete(const QString& path) {
    Type(&page(), kFilePath, path);
    Click(&page(), kUndelete);
  }
  // Starts recovering BIG.BIN and waits until its copy stands held. The
  // flag is cleared before the worker starts, so that an Abort before the
  // engine first reads it still stops the run.
  void StartHeldCopy() {
    drives_.HoldNextDataRead(512);
    Undelete(QStringLiteral("C:\\BIG.BIN"));
    EXPECT_EQ(page().AbortFlag().load(), 0);
    ASSERT_TRUE(drives_.WaitUntilHeld());
  }
  bool WaitForIdle() {
    return WaitFor([&] { return !page().WorkerRunning() && Enabled(kUndelete); });
  }

  HeldDrives drives_{'C', volume_->path()};
};

TEST_F(Page2Test, AnEmptyPathIsRefusedATypedOneRecoveredIntoTheOutputDirectory) {
  Click(&page(), kUndelete);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, QStringLiteral("Please enter a file to undelete !"));
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
  EXPECT_FALSE(page().WorkerRunning());

  // When the engine's box comes up, every report made before it is shown.
  QString status_at_box;
  int32_t progress_at_box = -1;
  boxes_.OnShow([&](QMessageBox&) {
    status_at_box = Status();
    progress_at_box = ProgressOf(&page(), kProgress).pos;
  });
  Undelete(QStringLiteral("c:\\docs\\report.txt"));
  EXPECT_FALSE(Enabled(kUndelete));
  EXPECT_TRUE(Enabled(kAbort));
  ASSERT_TRUE(WaitForIdle());

  EXPECT_EQ(ReadFileBytes(out_.File("REPORT.TXT")), Report());
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  const SeenBox& box = boxes_.boxes()[1];
  EXPECT_EQ(box.text, QStringLiteral("File Undeleted !"));
  EXPECT_EQ(box.style, 4160u);
  EXPECT_FALSE(box.blocks_wizard) << "a worker's box blocks only the worker";
  EXPECT_EQ(status_at_box, QStringLiteral("File Undeleted !"));
  EXPECT_EQ(progress_at_box, 45);
  EXPECT_EQ(ProgressOf(&page(), kProgress).high, 0);
  EXPECT_FALSE(Enabled(kAbort));
}

TEST_F(Page2Test, AbortOrNextDuringACopyStopsItAndKeepsOneWorker) {
  for (bool next : {false, true}) {
    SCOPED_TRACE(next ? "Next" : "Abort");
    StartHeldCopy();
    if (next) {
      sheet().Next();
      EXPECT_EQ(sheet().ActiveIndex(), 2);
    } else {
      Click(&page(), kAbort);
      EXPECT_FALSE(Enabled(kAbort));
    }
    // One worker at a time: Undelete waits for this one to end.
    EXPECT_FALSE(Enabled(kUndelete));
    EXPECT_TRUE(page().WorkerRunning());
    drives_.Release();
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(Status(), kAborted);
    const auto partial = ReadFileBytes(out_.File("BIG.BIN"));
    const auto big = Big();
    EXPECT_LT(partial.size(), big.size());
    EXPECT_EQ(partial, std::vector<uint8_t>(big.begin(), big.begin() + ptrdiff_t(partial.size())));
    // (Each run writes BIG.BIN afresh: an existing file would be kept.)
    std::filesystem::remove(out_.File("BIG.BIN"));
    if (next) sheet().Back();
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page2Test, WizardEndWhileAWorkerWaitsOnABoxClosesItAndJoins) {
  boxes_.LeaveOpen(true);
  Undelete(QStringLiteral("C:\\DOCS\\LONGFILENAME.TXT"));  // not 8.3: the engine's box
  ASSERT_TRUE(WaitFor([&] { return !boxes_.OpenBoxes().empty(); }));
  EXPECT_EQ(boxes_.boxes().back().text, QStringLiteral("Please use dos 8.3 file name format !!"));
  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  EXPECT_TRUE(boxes_.OpenBoxes().empty());
}

TEST_F(Page2Test, WizardEndDuringACopyJoinsBeforeThePagesGo) {
  StartHeldCopy();
  // The copy goes on while the user-interface thread is already joining.
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    drives_.Release();
  });
  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  launcher_.reset();  // pages and controls go; nothing may touch them now
  QApplication::processEvents();
  releaser.join();
  EXPECT_LT(ReadFileBytes(out_.File("BIG.BIN")).size(), Big().size());
}

}  // namespace
}  // namespace quorvane::testing
