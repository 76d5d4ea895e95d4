// The results page with the search's details on a volume of more than
// 65,536 clusters, its files deleted as the NT family deletes them: the Long
// Name and Condition columns against quorvane-cli search --details, the
// recovery of a rebuilt row from its rebuilt cluster, and a later search
// without details back to two columns.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <sstream>

#include "held_drives.h"
#include "res/dialogs/results_page.h"
#include "res/dialogs/search_setup_page.h"
#include "support/mtools_volume.h"
#include "support/nt_deleted.h"
#include "support/row_volumes.h"
#include "support/run_command.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;
using namespace res::results_page;

std::vector<uint8_t> Zip(size_t size) {
  std::vector<uint8_t> bytes = PatternBytes(size, 21);
  const uint8_t header[] = {'P', 'K', 3, 4, 20, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), bytes.begin());
  return bytes;
}

std::string Text(size_t size) {
  std::string text;
  while (text.size() < size) text += "Kept: a live note in the low clusters.\n";
  text.resize(size);
  return text;
}

// /keep.txt lives in clusters 3 to 5; /Letter to the bank.docx (deleted,
// high word cleared) began past cluster 65,536, so its low word alone points
// into keep.txt.
class Page4DetailsTest : public WizardFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    volume_ = std::make_unique<MtoolsVolume>(dir_->File("nt.img"));
    volume_->AddFile("/keep.txt", Text(1500)).SetNextFreeCluster(65536 + 3);
    volume_->AddFile("/Letter to the bank.docx", Zip(3000)).Delete("/Letter to the bank.docx");
    if (ClearHighWordsOfDeleted(volume_->path()) != 1) throw std::runtime_error("no NT delete");
  }
  static void TearDownTestSuite() { volume_.reset(); dir_.reset(); }
  void SetUp() override {
    StartWizard(drives_.table(), drives_);
    Forward(2);
    Type(&launcher_->page3(), res::search_setup_page::kDirectory, QStringLiteral("C:\\"));
    // Listed whatever its low word points at, so that the classic copy can be tried.
    auto* skip = ui::FindControl<QCheckBox>(&launcher_->page3(),
                                            res::search_setup_page::kSkipUnrecoverable);
    if (skip->isChecked()) QTest::mouseClick(skip, Qt::LeftButton, {}, QPoint(6, 5));
  }
  // Runs a search from page 4 with the two options as the dialog's OK stores them.
  void Search(bool nt_deleted, bool details) {
    if (sheet().ActiveIndex() == 3) sheet().Back();
    launcher_->state().m_bNtDeleted = nt_deleted;
    launcher_->state().m_bDetails = details;
    Forward(1);
    Click(&page(), kShowFiles);
    ASSERT_TRUE(WaitForReady());
  }
  void UndeleteRow(int row) {
    list()->selectionModel()->select(page().Rows().index(row, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Click(&page(), kUndelete);
    ASSERT_TRUE(WaitForReady());
  }
  bool WaitForReady() {
    return WaitFor([&] {
      return !page().WorkerRunning() && ui::FindControl(&page(), kShowFiles)->isEnabled();
    });
  }
  // Column `column` of every row as the list shows it, top first.
  std::vector<std::string> Shown(int column) {
    std::vector<std::string> texts;
    const ui::ResultListModel& model = page().Rows();
    for (int row = 0; row < model.rowCount(); ++row)
      texts.push_back(model.data(model.index(row, column)).toString().toStdString());
    return texts;
  }
  ui::CUndeletePage4& page() { return launcher_->page4(); }
  QTreeView* list() { return ui::FindControl<QTreeView>(&page(), kList); }
  std::string Recovered() { return out_.File("XETTER~1.DOC"); }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<MtoolsVolume> volume_;
  UnchangedGuard unchanged_{volume_->path()};
  HeldDrives drives_{'C', volume_->path()};
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
  std::string listed;
  for (int row = 0; row < model.rowCount(); ++row) {
    listed += model.Row(row).size + '\t' + long_names[row] + '\t' + conditions[row] + '\t' +
              std::to_string(model.Row(row).Details().firstCluster) + '\n';
  }
  std::string from_cli;
  std::istringstream lines(cli.output);
  // The size and the three detail columns; the times the command line adds after them are not listed.
  for (std::string line; std::getline(lines, line);) {
    size_t end = line.find('\t');
    for (int column = 0; column < 4 && end != std::string::npos; ++column) end = line.find('\t', end + 1);
    from_cli += line.substr(line.find('\t') + 1, end == std::string::npos ? std::string::npos
                                                                        : end - line.find('\t') - 1) + '\n';
  }
  EXPECT_EQ(listed, from_cli);
  ASSERT_EQ(model.rowCount(), 1);
  EXPECT_EQ(long_names[0], "C:\\Letter to the bank.docx");
  EXPECT_EQ(conditions[0], "rebuilt");
  const uint32_t cluster = model.Row(0).Details().firstCluster;
  EXPECT_GT(cluster, 65536u);

  UndeleteRow(0);
  EXPECT_EQ(ReadFileBytes(Recovered()), Zip(3000));
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
      EXPECT_EQ(ReadFileBytes(Recovered()), Zip(3000));
      EXPECT_THAT(status, HasSubstr(" (rebuilt)"));
    } else {
      if (std::filesystem::exists(Recovered())) {
        EXPECT_NE(ReadFileBytes(Recovered()), Zip(3000));
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
class Page4NtDeletedDirectoryTest : public WizardFixture {
 protected:
  void SetUp() override {
    FillNtDeletedVolume(volume_);
    unchanged_ = std::make_unique<UnchangedGuard>(volume_.path());
    drives_ = std::make_unique<HeldDrives>('C', volume_.path());
    StartWizard(drives_->table(), *drives_);
    Forward(2);
    Type(&launcher_->page3(), res::search_setup_page::kDirectory, QStringLiteral("C:\\"));
    for (const int box : {res::search_setup_page::kRecurse, res::search_setup_page::kSearchDeletedDirs}) {
      auto* check = ui::FindControl<QCheckBox>(&launcher_->page3(), box);
      if (!check->isChecked()) QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 5));
    }
  }
  TempDir dir_;
  MtoolsVolume volume_{dir_.File("nt.img")};
  std::unique_ptr<UnchangedGuard> unchanged_;
  std::unique_ptr<HeldDrives> drives_;
};

TEST_F(Page4NtDeletedDirectoryTest, ARowBelowARebuiltDirectoryComesBack) {
  for (const bool details : {true, false}) {
    SCOPED_TRACE(details);
    if (sheet().ActiveIndex() == 3) sheet().Back();
    launcher_->state().m_bNtDeleted = 1;
    launcher_->state().m_bDetails = details;
    Forward(1);
    ui::CUndeletePage4& page = launcher_->page4();
    auto ready = [&] {
      return WaitFor([&] { return !page.WorkerRunning() && ui::FindControl(&page, kShowFiles)->isEnabled(); });
    };
    Click(&page, kShowFiles);
    ASSERT_TRUE(ready());
    int council = -1;
    for (int row = 0; row < page.Rows().rowCount(); ++row)
      if (page.Rows().Row(row).path == "C:\\\xE5LDLET~1\\\xE5OTHEC~1.TXT") council = row;
    ASSERT_GE(council, 0);
    auto* list = ui::FindControl<QTreeView>(&page, kList);
    list->selectionModel()->select(page.Rows().index(council, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    std::filesystem::remove(out_.File("XOTHEC~1.TXT"));
    Click(&page, kUndelete);
    ASSERT_TRUE(ready());
    EXPECT_THAT(TextOf(&page, kStatus).toStdString(), HasSubstr("File Undeleted !"));
    EXPECT_EQ(ReadFileBytes(out_.File("XOTHEC~1.TXT")), NtText(700));
  }
}

}  // namespace
}  // namespace quorvane::testing
