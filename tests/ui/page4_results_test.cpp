// The results page end to end on real mtools volumes: the list compared
// with quorvane-cli search, recovery of the selected row's bytes, Abort and
// Back during a search and a recovery, coming back to the page; and, on a
// volume of more than 65,536 clusters whose files the NT family deleted, the
// Long Name and Condition columns against search --details, the recovery of
// a rebuilt row from its rebuilt cluster, a later search without details
// back to two columns.
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

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

using namespace res::results_page;
namespace setup = res::search_setup_page;
const QString kDone = QStringLiteral("List of undeletable files ...");
const std::string E5 = "\xE5";

using ::testing::HasSubstr;

// The results page of a wizard over the suite's volume, as C:.
class Page4Fixture : public SuiteVolumeFixture {
 protected:
  void SetUp() override {
    StartWizard(drives_.table(), drives_);
    Forward(2);
  }
  ui::CUndeletePage4& page() { return launcher_->page4(); }
  bool Enabled(int id) { return ui::FindControl<QPushButton>(&page(), id)->isEnabled(); }
  // Ready: no worker, Show Files and Undelete enabled, Abort disabled.
  bool WaitForReady() {
    return WaitFor([&] {
      return !page().WorkerRunning() && Enabled(kShowFiles) && Enabled(kUndelete) &&
             !Enabled(kAbort);
    });
  }
  int RowOf(const std::string& path) {
    for (int i = 0; i < page().Rows().rowCount(); ++i)
      if (page().Rows().Row(i).path == path) return i;
    return -1;
  }

  HeldDrives drives_{'C', volume_->path()};
};

// Clusters of 512 bytes:
//   /OLD.BIN (deleted; its first cluster reused by KEEP.TXT: not recoverable)
//   /DOCS/REPORT.DOC (deleted)  /DOCS/KEEP.TXT (live)  /DOCS/OLD/PLAN.TXT (deleted)
//   /GONE/INNER.BIN (the whole tree deleted)
//   /TWINS/AB.BIN, /TWINS/CB.BIN (both deleted: the same stored name)
//   /My Documents/Long report name.txt (deleted)   /BIG.BIN (2 MiB, deleted)
class Page4Test : public Page4Fixture {
 protected:
  static void SetUpTestSuite() {
    MtoolsVolume& volume = MakeVolume();
    volume.AddFile("/OLD.BIN", PatternBytes(300, 9));  // cluster 3, after the root's
    volume.MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD").MakeDirectory("/GONE");
    volume.MakeDirectory("/TWINS").MakeDirectory("/My Documents");
    volume.AddFile("/DOCS/REPORT.DOC", PatternBytes(5000, 1))
        .AddFile("/DOCS/OLD/PLAN.TXT", PatternBytes(1234, 3))
        .AddFile("/GONE/INNER.BIN", PatternBytes(700, 4))
        .AddFile("/TWINS/AB.BIN", PatternBytes(600, 5))
        .AddFile("/TWINS/CB.BIN", PatternBytes(900, 6))
        .AddFile("/My Documents/Long report name.txt", PatternBytes(2100, 7))
        .AddFile("/BIG.BIN", PatternBytes(2 << 20, 8));
    // KEEP.TXT takes cluster 3 (this mtools looks for a free cluster after
    // the hint), in a directory whose slots no deletion has freed.
    volume.Delete("/OLD.BIN").SetNextFreeCluster(2).AddFile("/DOCS/KEEP.TXT", PatternBytes(300, 2));
    for (const char* path : {"/DOCS/REPORT.DOC", "/DOCS/OLD/PLAN.TXT", "/TWINS/AB.BIN",
                             "/TWINS/CB.BIN", "/My Documents/Long report name.txt", "/BIG.BIN"})
      volume.Delete(path);
    volume.DeleteTree("/GONE");
  }
  // Sets page 3 as a user would (deleted directories searched when
  // recursing) and moves on to this page.
  void GoToPage4(const QString& directory, bool recurse = true, bool skip_unrecoverable = true) {
    ui::CUndeletePage3& page3 = launcher_->page3();
    Type(&page3, setup::kDirectory, directory);
    SetChecked(&page3, setup::kRecurse, true);  // enables the next one
    SetChecked(&page3, setup::kSearchDeletedDirs, recurse);
    SetChecked(&page3, setup::kRecurse, recurse);
    SetChecked(&page3, setup::kSkipUnrecoverable, skip_unrecoverable);
    Forward(1);
  }

  // The list's rows, top row (the last found) first, or read from the
  // bottom up as quorvane-cli search prints them: in the order found.
  std::string ListedRows(bool as_found = false) {
    std::string rows;
    const ui::ResultListModel& model = page().Rows();
    for (int i = 0; i < model.rowCount(); ++i) {
      const ui::ResultRow& row = model.Row(as_found ? model.rowCount() - 1 - i : i);
      rows += row.path + '\t' + row.size + '\n';
    }
    return rows;
  }
  // The file a row's recovery writes: its stored 8.3 name, blanks kept,
  // with the deleted mark replaced by X.
  std::string Recovered(const std::string& row) {
    // (Appended, not "X" + ...: GCC 12 misreports that as -Wrestrict at -O3.)
    std::string name = "X";
    name.append(row, row.rfind('\\') + 2);
    return out_.File(name);
  }
  // A click on `row` through the list's window, with `modifiers` held.
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
    auto* list = ui::FindControl<QTreeView>(&page(), kList);
    list->scrollTo(page().Rows().index(row, 0));
    const QPoint at = list->viewport()->mapTo(
        list->window(), list->visualRect(page().Rows().index(row, 0)).center());
    QTest::mouseClick(list->window()->windowHandle(), Qt::LeftButton, modifiers, at);
  }
  std::vector<int> SelectedRows() {
    std::vector<int> rows;
    for (const QModelIndex& index :
         ui::FindControl<QTreeView>(&page(), kList)->selectionModel()->selectedRows())
      rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  // The bytes the file of a listed row had, told by its stored name and
  // size (AB.BIN and CB.BIN are stored alike).
  static std::vector<uint8_t> Original(const ui::ResultRow& row) {
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"EPORT  .DOC", PatternBytes(5000, 1)}, {"LAN    .TXT", PatternBytes(1234, 3)},
        {"NNER   .BIN", PatternBytes(700, 4)},  {"B      .BIN", PatternBytes(600, 5)},
        {"B      .BIN", PatternBytes(900, 6)},  {"ONGRE~1.TXT", PatternBytes(2100, 7)},
        {"IG     .BIN", PatternBytes(2 << 20, 8)}};
    for (const auto& [tail, bytes] : files)
      if (row.path.ends_with(E5 + tail) && row.size == std::to_string(bytes.size())) return bytes;
    ADD_FAILURE() << "no original for " << row.path;
    return {};
  }
  // The files the recoveries wrote, whatever their names; then none.
  std::multiset<std::vector<uint8_t>> Written(bool clear = false) {
    std::multiset<std::vector<uint8_t>> files;
    for (const auto& file : std::filesystem::directory_iterator(out_.path())) {
      files.insert(ReadFileBytes(file.path()));
      if (clear) std::filesystem::remove(file.path());
    }
    return files;
  }
};

TEST_F(Page4Test, ShowFilesListsWhatTheCommandLineSearchListsInTheSameOrder) {
  struct Case {
    QString directory;
    std::vector<std::string> cli_options;
    QString name_filter, ext_filter, deleted_dir_filter;
  };
  const Case cases[] = {
      {"C:\\", {}, {}, {}, {}},
      {"C:", {"--name", "rep"}, "rep", {}, {}},
      {"C:", {"--ext", "doc"}, {}, "doc", {}},
      {"C:\\", {"--all"}, {}, {}, {}},
      {"C:\\", {"--deleted-dir", "one"}, {}, {}, "one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (sheet().ActiveIndex() == 3) sheet().Back();
    const bool all = std::ranges::count(c.cli_options, "--all") > 0;
    GoToPage4(c.directory, true, !all);
    ui::WizardState& state = launcher_->state();
    state.m_bNameFilter = !c.name_filter.isEmpty();
    state.m_strNameFilter = c.name_filter;
    state.m_bExtFilter = !c.ext_filter.isEmpty();
    state.m_strExtFilter = c.ext_filter;
    state.m_bDeletedDirFilter = !c.deleted_dir_filter.isEmpty();
    state.m_strDeletedDirFilter = c.deleted_dir_filter;

    Click(&page(), kShowFiles);
    EXPECT_EQ(TextOf(&page(), kStatus),
              QStringLiteral("Searching the file system for undeletable files..."));
    EXPECT_TRUE(Enabled(kAbort));
    ASSERT_TRUE(WaitForReady());

    std::vector<std::string> args = {"--drive", "C:=" + volume_->path(), "search", "--recurse",
                                     "--deleted-dirs"};
    args.insert(args.end(), c.cli_options.begin(), c.cli_options.end());
    args.push_back(state.m_strSearchDir.toStdString());
    const CommandResult cli = RunCli(args);
    ASSERT_EQ(cli.status, 0) << cli.output;
    EXPECT_EQ(ListedRows(true), cli.output);
    EXPECT_GT(page().Rows().rowCount(), 0);
    EXPECT_EQ(TextOf(&page(), kCaption), kDone);
    EXPECT_EQ(ProgressOf(&page(), kProgress).high, 0);
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page4Test, BothFilesOfOneStoredNameAreListedAndEachComesBackAsItself) {
  GoToPage4(QStringLiteral("C:\\TWINS"), false);
  Click(&page(), kShowFiles);
  ASSERT_TRUE(WaitForReady());
  // AB.BIN and CB.BIN, both stored as \xE5B.BIN: a path alone names the
  // first entry of that name, AB.BIN's; CB.BIN's row, found later and
  // shown on top, names its own entry by its size and first cluster.
  const std::string twin = "C:\\TWINS\\" + E5 + "B      .BIN";
  ASSERT_EQ(ListedRows(), twin + "\t900\n" + twin + "\t600\n");
  SelectOnly(&page(), kList, 0);
  Click(&page(), kUndelete);
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(Written(true), (std::multiset{PatternBytes(900, 6)}));
  // Both at once: each from its own entry, the second under a numbered name.
  ClickRow(0);
  ClickRow(1, Qt::ControlModifier);
  Click(&page(), kUndelete);
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(Written(), (std::multiset{PatternBytes(600, 5), PatternBytes(900, 6)}));
}

TEST_F(Page4Test, AbortAndBackDuringASearchAndComingBack) {
  GoToPage4(QStringLiteral("C:\\"));
  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "Back" : "Abort");
    drives_.HoldNextDataRead();
    Click(&page(), kShowFiles);
    ASSERT_TRUE(drives_.WaitUntilHeld());
    if (back) {
      sheet().Back();
      QApplication::processEvents();
      EXPECT_EQ(sheet().ActiveIndex(), 2);
      // Back on the page while the worker still holds a cluster: cleared.
      Forward(1);
      EXPECT_EQ(page().Rows().rowCount(), 0);
      EXPECT_EQ(TextOf(&page(), kStatus), QStringLiteral(" "));
      EXPECT_EQ(ProgressOf(&page(), kProgress).high, 0);
    } else {
      Click(&page(), kAbort);
      EXPECT_FALSE(Enabled(kAbort));
    }
    EXPECT_EQ(page().AbortFlag().load(), 1);
    // One worker at a time: two searches would write into one list.
    EXPECT_TRUE(page().WorkerRunning());
    EXPECT_FALSE(Enabled(kShowFiles));
    EXPECT_FALSE(Enabled(kUndelete));

    drives_.Release();
    ASSERT_TRUE(WaitForReady());
    if (back) {
      // Nothing the ended run reported after the page was cleared lands on it.
      EXPECT_EQ(page().Rows().rowCount(), 0);
      EXPECT_EQ(TextOf(&page(), kStatus), QStringLiteral(" "));
      EXPECT_NE(TextOf(&page(), kCaption), kDone);
      continue;
    }
    EXPECT_EQ(TextOf(&page(), kCaption), kDone);
    // Rows of the root cluster in hand may have come; nothing below it.
    for (int i = 0; i < page().Rows().rowCount(); ++i)
      EXPECT_EQ(page().Rows().Row(i).path.find('\\', 3), std::string::npos)
          << page().Rows().Row(i).path;
  }
  // Leaving and coming back when Ready clears the list; the next search
  // starts with a cleared flag and runs to its end.
  sheet().Back();
  Forward(1);
  EXPECT_EQ(page().Rows().rowCount(), 0);
  Click(&page(), kShowFiles);
  EXPECT_EQ(page().AbortFlag().load(), 0);
  ASSERT_TRUE(WaitForReady());
  EXPECT_GE(RowOf("C:\\DOCS    \\" + E5 + "EPORT  .DOC"), 0) << ListedRows();
}

TEST_F(Page4Test, AbortAndBackDuringARecovery) {
  GoToPage4(QStringLiteral("C:\\"), false);
  Click(&page(), kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const std::string big_row = "C:\\" + E5 + "IG     .BIN";
  const int big = RowOf(big_row);
  ASSERT_GE(big, 0) << ListedRows();

  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "Back" : "Abort");
    SelectOnly(&page(), kList, big);
    drives_.HoldNextDataRead();
    Click(&page(), kUndelete);
    ASSERT_TRUE(drives_.WaitUntilHeld());
    if (back) {
      sheet().Back();
      EXPECT_EQ(sheet().ActiveIndex(), 2);
    } else {
      Click(&page(), kAbort);
      EXPECT_FALSE(Enabled(kShowFiles));
      EXPECT_FALSE(Enabled(kUndelete));
    }
    drives_.Release();
    ASSERT_TRUE(WaitForReady());
    EXPECT_EQ(TextOf(&page(), kStatus), QStringLiteral("Undeletion Aborted !"));
    EXPECT_LT(ReadFileBytes(Recovered(big_row)).size(), size_t{2} << 20);
    // The next run writes the file afresh: an existing one would be kept.
    std::filesystem::remove(Recovered(big_row));
    if (back) {
      Forward(1);
      EXPECT_EQ(TextOf(&page(), kStatus), QStringLiteral(" "));
    }
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page4Test, SeveralSelectedRowsComeBackInListOrderUnderOneBarAndOneBox) {
  GoToPage4(QStringLiteral("C:\\"));
  Click(&page(), kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const int rows = page().Rows().rowCount();
  ASSERT_GE(rows, 5) << ListedRows();
  auto* list = ui::FindControl<QTreeView>(&page(), kList);
  QWidget* window = list->window();

  // Selected bottom first, by mouse: still recovered top first.
  ClickRow(rows - 1);
  ClickRow(0, Qt::ControlModifier);
  ASSERT_EQ(SelectedRows(), (std::vector<int>{0, rows - 1}));
  const std::string top = page().Rows().Row(0).path;
  // By the time the box is up the caption no longer names a file.
  QString caption_under_box;
  boxes_.OnShow([&](QMessageBox&) { caption_under_box = TextOf(&page(), kCaption); });
  drives_.HoldNextDataRead();
  Click(&page(), kUndelete);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  EXPECT_TRUE(WaitFor([&] {
    return TextOf(&page(), kCaption) == QString::fromLatin1(("Undeleting 1 of 2: " + top).c_str());
  })) << TextOf(&page(), kCaption).toStdString();
  drives_.Release();
  ASSERT_TRUE(WaitForReady());
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.Texts()[0], QStringLiteral("2 of 2 files undeleted, 0 partly undeleted, 0 not undeleted."));
  EXPECT_EQ(boxes_.boxes()[0].style, uint32_t{kMbIconInformation});
  EXPECT_EQ(TextOf(&page(), kStatus), boxes_.Texts()[0]);
  EXPECT_EQ(caption_under_box, kDone);
  EXPECT_EQ(ProgressOf(&page(), kProgress).high, 0);
  for (const int row : {0, rows - 1})
    EXPECT_EQ(ReadFileBytes(Recovered(page().Rows().Row(row).path)), Original(page().Rows().Row(row)))
        << page().Rows().Row(row).path;

  // Shift+click, Shift+Down and Ctrl+A: a range, one more, then every row.
  ClickRow(1);
  ClickRow(3, Qt::ShiftModifier);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2, 3}));
  QTest::keyClick(window->windowHandle(), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2, 3, 4}));
  QTest::keyClick(window->windowHandle(), Qt::Key_A, Qt::ControlModifier);
  ASSERT_EQ(SelectedRows().size(), size_t(rows));
  Written(true);
  Click(&page(), kUndelete);
  ASSERT_TRUE(WaitForReady());
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_EQ(boxes_.Texts()[1], QString::fromStdString(std::to_string(rows) + " of " +
                                                      std::to_string(rows) +
                                                      " files undeleted, 0 partly undeleted, 0 not undeleted."));
  // Every row its own file (the second of AB.BIN and CB.BIN numbered).
  std::multiset<std::vector<uint8_t>> originals;
  for (int i = 0; i < rows; ++i) originals.insert(Original(page().Rows().Row(i)));
  EXPECT_EQ(Written(true), originals);

  // Abort within BIG.BIN, the top row: its file is a part, the rest are not
  // tried; the box and the status say so.
  const int big = RowOf("C:\\" + E5 + "IG     .BIN");
  ASSERT_EQ(big, 0) << ListedRows();
  ClickRow(0);
  ClickRow(2, Qt::ShiftModifier);
  drives_.HoldNextDataRead(64 << 10);  // BIG.BIN's copy; the others' runs are smaller
  Click(&page(), kUndelete);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  Click(&page(), kAbort);
  drives_.Release();
  ASSERT_TRUE(WaitForReady());
  ASSERT_EQ(boxes_.boxes().size(), 3u);
  const std::string big_row = page().Rows().Row(big).path;
  const std::string aborted = "0 of 3 files undeleted, 1 partly undeleted, 0 not undeleted.\n"
                              "Undeletion Aborted ! " + big_row + " is partly undeleted. 2 files were not tried.";
  EXPECT_EQ(boxes_.Texts()[2], QString::fromLatin1(aborted.c_str()));
  EXPECT_EQ(boxes_.boxes()[2].style, uint32_t{kMbIconExclamation});
  EXPECT_TRUE(TextOf(&page(), kStatus).startsWith(QStringLiteral("Undeletion Aborted !\n0 of 3")));
  EXPECT_LT(ReadFileBytes(Recovered(big_row)).size(), size_t{2} << 20);
  for (int row : {1, 2})
    EXPECT_FALSE(std::filesystem::exists(Recovered(page().Rows().Row(row).path)));
}

// The results page over the suite's volume, its searches run with the two
// options as the options dialog's OK stores them.
class Page4DetailsFixture : public Page4Fixture {
 protected:
  void SetUp() override {
    Page4Fixture::SetUp();
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
  QTreeView* list() { return ui::FindControl<QTreeView>(&page(), kList); }
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
    const int council = RowOf("C:\\\xE5LDLET~1\\\xE5OTHEC~1.TXT");
    ASSERT_GE(council, 0);
    std::filesystem::remove(out_.File("XOTHEC~1.TXT"));
    UndeleteRow(council);
    EXPECT_THAT(TextOf(&page(), kStatus).toStdString(), HasSubstr("File Undeleted !"));
    EXPECT_EQ(ReadFileBytes(out_.File("XOTHEC~1.TXT")), NtText(700));
  }
}

}  // namespace
}  // namespace quorvane::testing
