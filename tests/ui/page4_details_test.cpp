// The results page with the search's details on a volume of more than
// 65,536 clusters, its files deleted as the NT family deletes them: the Long
// Name and Condition columns against quorvane-cli search --details, the
// recovery of a rebuilt row from its rebuilt cluster, and a later search
// without details back to two columns.
#include <gmock/gmock.h>

#include <QHeaderView>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "held_drives.h"
#include "res/dialogs/results_page.h"
#include "res/dialogs/search_setup_page.h"
#include "support/mtools_volume.h"
#include "support/nt_deleted.h"
#include "support/row_volumes.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;
using namespace res::results_page;
namespace setup = res::search_setup_page;

// The results page over the suite's volume, its searches run with the two
// options as the options dialog's OK stores them.
class Page4DetailsFixture : public SuiteVolumeFixture {
 protected:
  void SetUp() override {
    StartWizard(drives_.table(), drives_);
    Forward(2);
    Type(&launcher_->page3(), setup::kDirectory, QStringLiteral("C:\\"));
  }
  void Search(bool nt_deleted, bool details) {
    if (sheet().ActiveIndex() == 3) sheet().Back();
    launcher_->state().m_bNtDeleted = nt_deleted;
    launcher_->state().m_bDetails = details;
    Forward(1);
    Click(&page(), kShowFiles);
    ASSERT_TRUE(WaitForReady());
  }
  void UndeleteRow(int row) {
    SelectOnly(&page(), kList, row);
    Click(&page(), kUndelete);
    ASSERT_TRUE(WaitForReady());
  }
  bool WaitForReady() {
    return WaitFor([&] {
      return !page().WorkerRunning() && ui::FindControl(&page(), kShowFiles)->isEnabled();
    });
  }
  ui::CUndeletePage4& page() { return launcher_->page4(); }
  QTreeView* list() { return ui::FindControl<QTreeView>(&page(), kList); }

  HeldDrives drives_{'C', volume_->path()};
};

// /keep.txt lives in clusters 3 to 5; /Letter to the bank.docx (deleted,
// high word cleared) began past cluster 65,536, so its low word alone points
// into keep.txt.
class Page4DetailsTest : public Page4DetailsFixture {
 protected:
  static void SetUpTestSuite() {
    MtoolsVolume& volume = MakeVolume();
    volume.AddFile("/keep.txt", NtText(1500)).SetNextFreeCluster(65536 + 3);
    volume.AddFile("/Letter to the bank.docx", NtZip(3000)).Delete("/Letter to the bank.docx");
    if (ClearHighWordsOfDeleted(volume.path()) != 1) throw std::runtime_error("no NT delete");
  }
  void SetUp() override {
    Page4DetailsFixture::SetUp();
    // Listed whatever its low word points at, so that the classic copy can be tried.
    SetChecked(&launcher_->page3(), setup::kSkipUnrecoverable, false);
  }
  // Column `column` of every row as the list shows it, top first.
  std::vector<std::string> Shown(int column) {
    std::vector<std::string> texts;
    const ui::ResultListModel& model = page().Rows();
    for (int row = 0; row < model.rowCount(); ++row)
      texts.push_back(model.data(model.index(row, column)).toString().toStdString());
    return texts;
  }
  std::string Recovered() { return out_.File("XETTER~1.DOC"); }
};

TEST_F(Page4DetailsTest, ColumnsMatchTheCommandLineAndUndeleteUsesTheRebuiltCluster) {
  Search(true, true);
  const ui::ResultListModel& model = page().Rows();
  ASSERT_EQ(model.columnCount(), 4);
  EXPECT_EQ(list()->header()->count(), 4);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Long Name"));
  EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Condition"));

  // The size and the three detail columns, as the command line prints them.
  const CommandResult cli = RunCli({"--drive", "C:=" + volume_->path(), "search", "--nt-deleted",
                                    "--details", "C:\\"});
  ASSERT_EQ(cli.status, 0) << cli.output;
  const std::vector<std::string> long_names = Shown(2), conditions = Shown(3);
  // The size and the three detail columns; the times the command line adds after them are not listed.
  std::string listed, from_cli;
  for (int row = 0; row < model.rowCount(); ++row)
    listed += model.Row(row).size + '\t' + long_names[row] + '\t' + conditions[row] + '\t' +
              std::to_string(model.Row(row).Details().firstCluster) + '\n';
  for (const SearchRow& row : SearchRows(cli.output))
    from_cli += std::to_string(row.size) + '\t' + row.longPath + '\t' + row.condition + '\t' +
                std::to_string(row.firstCluster) + '\n';
  EXPECT_EQ(listed, from_cli);
  ASSERT_EQ(model.rowCount(), 1);
  EXPECT_EQ(long_names[0], "C:\\Letter to the bank.docx");
  EXPECT_EQ(conditions[0], "rebuilt");
  const uint32_t cluster = model.Row(0).Details().firstCluster;
  EXPECT_GT(cluster, 65536u);

  UndeleteRow(0);
  EXPECT_EQ(ReadFileBytes(Recovered()), NtZip(3000));
  EXPECT_THAT(TextOf(&page(), kStatus).toStdString(),
              HasSubstr("From first cluster " + std::to_string(cluster) + " (rebuilt)"));
}

// After a detailed search: the two columns at the widths they had; the
// rebuild alone still copies from the rebuilt cluster; without either option, the classic copy
// from the low word alone, past keep.txt, and no word of a rebuilt cluster.
TEST_F(Page4DetailsTest, WithoutTheDetailsTwoColumnsAndWithoutTheRebuildTheClassicCopy) {
  Search(false, false);
  list()->setColumnWidth(0, 250);  // as a person may have dragged it
  for (bool nt_deleted : {true, false}) {
    SCOPED_TRACE(nt_deleted);
    Search(true, true);
    ASSERT_EQ(page().Rows().columnCount(), 4);
    // All four in view.
    EXPECT_LE(list()->header()->length(), list()->viewport()->width());
    Search(nt_deleted, false);
    EXPECT_EQ(page().Rows().columnCount(), 2);
    EXPECT_EQ(list()->header()->count(), 2);
    EXPECT_EQ(list()->columnWidth(0), 250);
    EXPECT_EQ(list()->columnWidth(1), 100);
    ASSERT_EQ(page().Rows().rowCount(), 1);
    std::filesystem::remove(Recovered());
    UndeleteRow(0);
    const std::string status = TextOf(&page(), kStatus).toStdString();
    if (nt_deleted) {
      EXPECT_EQ(ReadFileBytes(Recovered()), NtZip(3000));
      EXPECT_THAT(status, HasSubstr(" (rebuilt)"));
    } else {
      if (std::filesystem::exists(Recovered())) {
        EXPECT_NE(ReadFileBytes(Recovered()), NtZip(3000));
      }
      EXPECT_THAT(status, ::testing::Not(HasSubstr("From first cluster")));
      // keep.txt holds the low word's cluster: the copy is said not to be the file's.
      EXPECT_THAT(status, HasSubstr("\n" + ConditionLine(FileCondition::kOverwritten)));
    }
  }
}

// A deleted directory whose high word the NT family cleared: its files are
// listed with --nt-deleted's rebuilt cluster for the directory, and the
// Undelete of such a row walks back through the same rebuilt cluster.
class Page4NtDeletedDirectoryTest : public Page4DetailsFixture {
 protected:
  static void SetUpTestSuite() { FillNtDeletedVolume(MakeVolume()); }
  void SetUp() override {
    Page4DetailsFixture::SetUp();
    SetChecked(&launcher_->page3(), setup::kRecurse, true);
    SetChecked(&launcher_->page3(), setup::kSearchDeletedDirs, true);
  }
};

TEST_F(Page4NtDeletedDirectoryTest, ARowBelowARebuiltDirectoryComesBack) {
  for (const bool details : {true, false}) {
    SCOPED_TRACE(details);
    Search(true, details);
    int council = -1;
    for (int row = 0; row < page().Rows().rowCount(); ++row)
      if (page().Rows().Row(row).path == "C:\\\xE5LDLET~1\\\xE5OTHEC~1.TXT") council = row;
    ASSERT_GE(council, 0);
    std::filesystem::remove(out_.File("XOTHEC~1.TXT"));
    UndeleteRow(council);
    EXPECT_THAT(TextOf(&page(), kStatus).toStdString(), HasSubstr("File Undeleted !"));
    EXPECT_EQ(ReadFileBytes(out_.File("XOTHEC~1.TXT")), NtText(700));
  }
}

}  // namespace
}  // namespace quorvane::testing
