// The results page over sectors that fail to read in the kernel: one row's
// Undelete keeps going past them only after the search options dialog's box
// was ticked; several rows always do, and the summary tells where the zeros
// are.
#include <gmock/gmock.h>

#include <QTreeView>
#include <filesystem>

#include "res/dialogs/results_page.h"
#include "res/dialogs/search_setup_page.h"
#include "support/failing_image_mount.h"
#include "support/mtools_volume.h"
#include "ui_test_support.h"
#include "volume/format/fat_params.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;
using namespace res::results_page;

const std::string E5 = "\xE5";

// FAT32 of 512-byte clusters: ONE.BIN (6 clusters) with its third cluster
// unreadable, TWO.BIN (4 clusters) with its second, both deleted.
class Page4KeepGoingTest : public WizardFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    volume_ = std::make_unique<MtoolsVolume>(dir_->File("bad.img"));
    volume_->AddFile("/ONE.BIN", PatternBytes(3000, 1)).AddFile("/TWO.BIN", PatternBytes(2000, 2));
    const uint32_t one = volume_->FirstCluster("/ONE.BIN"), two = volume_->FirstCluster("/TWO.BIN");
    volume_->Delete("/ONE.BIN").Delete("/TWO.BIN");
    const std::vector<uint8_t> image = ReadFileBytes(volume_->path());
    const auto params = FatParams::FromBootSector(std::span(image).first(512), 3);
    auto at = [&](uint32_t cluster) { return uint64_t{params->ClusterToSector(cluster)} * 512; };
    mount_ = std::make_unique<FailingImageMount>(
        volume_->path(), std::vector<BadBytes>{{at(one + 2), at(one + 3)}, {at(two + 1), at(two + 2)}});
  }
  static void TearDownTestSuite() {
    mount_.reset();
    volume_.reset();
    dir_.reset();
  }
  void SetUp() override {
    if (!mount_->whyNot().empty()) GTEST_SKIP() << mount_->whyNot();
    table_.Map('C', mount_->path());
    StartWizard(table_);
    Forward(2);
    Type(&launcher_->page3(), res::search_setup_page::kDirectory, QStringLiteral("C:\\"));
  }
  // Searches with the keep-going box as the dialog's OK stores it, and
  // undeletes `rows` (stored paths) into an empty output directory.
  void Undelete(bool keep_going, const std::vector<std::string>& rows) {
    for (const auto& file : std::filesystem::directory_iterator(out_.path()))
      std::filesystem::remove(file.path());
    if (sheet().ActiveIndex() == 3) sheet().Back();
    launcher_->state().m_bKeepGoing = keep_going;
    Forward(1);
    Click(&page(), kShowFiles);
    ASSERT_TRUE(WaitForReady());
    auto* list = ui::FindControl<QTreeView>(&page(), kList);
    list->selectionModel()->clearSelection();
    for (const std::string& path : rows) {
      int row = 0;
      while (row < page().Rows().rowCount() && page().Rows().Row(row).path != path) ++row;
      ASSERT_LT(row, page().Rows().rowCount()) << path;
      list->selectionModel()->select(page().Rows().index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Click(&page(), kUndelete);
    ASSERT_TRUE(WaitForReady());
  }
  bool WaitForReady() {
    return WaitFor([&] { return !page().WorkerRunning() && ui::FindControl(&page(), kShowFiles)->isEnabled(); });
  }
  ui::CUndeletePage4& page() { return launcher_->page4(); }
  std::vector<uint8_t> Written(const std::string& name) { return ReadFileBytes(out_.File(name)); }
  static std::vector<uint8_t> Zeroed(std::vector<uint8_t> bytes, size_t start, size_t end) {
    std::fill(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(end), 0);
    return bytes;
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<MtoolsVolume> volume_;
  static inline std::unique_ptr<FailingImageMount> mount_;
  DriveTable table_;
  const std::string one_ = "C:\\" + E5 + "NE     .BIN", two_ = "C:\\" + E5 + "WO     .BIN";
};

TEST_F(Page4KeepGoingTest, OneRowKeepsGoingOnlyWhenTickedSeveralRowsAlways) {
  const std::vector<uint8_t> one = PatternBytes(3000, 1), two = PatternBytes(2000, 2);
  // Unticked: the copy ends at the bad cluster, as it always has.
  Undelete(false, {one_});
  EXPECT_THAT(TextOf(&page(), kStatus).toStdString(), HasSubstr("File partly undeleted ..."));
  EXPECT_EQ(Written("XNE     .BIN"), std::vector<uint8_t>(one.begin(), one.begin() + 1024));

  // Ticked: that cluster's 512 bytes are zeros, and the status says where.
  Undelete(true, {one_});
  EXPECT_THAT(TextOf(&page(), kStatus).toStdString(),
              HasSubstr("File Undeleted !\nCondition: unreadable - sectors that could not be read "
                        "were written as zeros, so those bytes are missing; zeros at bytes 1024-1535"));
  EXPECT_EQ(Written("XNE     .BIN"), Zeroed(one, 1024, 1536));

  // Several rows keep going unticked; the summary lists each file's zeros.
  Undelete(false, {one_, two_});
  const std::string summary = boxes_.Texts().back().toLatin1().toStdString();
  EXPECT_THAT(summary, HasSubstr("2 of 2 files undeleted, 0 partly undeleted, 0 not undeleted."));
  EXPECT_THAT(summary, HasSubstr("not intact: unreadable (2)."));
  EXPECT_THAT(summary, HasSubstr(one_ + ": zeros at bytes 1024-1535"));
  EXPECT_THAT(summary, HasSubstr(two_ + ": zeros at bytes 512-1023"));
  EXPECT_EQ(Written("XNE     .BIN"), Zeroed(one, 1024, 1536));
  EXPECT_EQ(Written("XWO     .BIN"), Zeroed(two, 512, 1024));
}

}  // namespace
}  // namespace quorvane::testing
