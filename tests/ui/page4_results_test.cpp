// The results page end to end on real mtools volumes: the list compared with
// quorvane-cli search, recovery of the selected row's bytes, Abort and Back
// during a search and a recovery, one worker at a time, coming back to the
// page, the wizard's end while a worker runs.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <thread>

#include "page4_held_drives.h"
#include "support/mtools_volume.h"
#include "ui/progress_ctrl.h"
#include "wizard_fixture.h"

namespace quorvane::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ui::FindControl;

constexpr int kList = 1020, kShowFiles = 1021, kUndelete = 1018, kAbort = 1032, kStatus = 1028,
              kProgress = 1029, kCaption = 1033;
const QString kDone = QStringLiteral("List of undeletable files ...");
const std::string E5 = "\xE5";

// One volume for the suite, clusters of 512 bytes:
//   /DOCS/REPORT.DOC (deleted)  /DOCS/KEEP.TXT (live)  /DOCS/OLD/PLAN.TXT (deleted)
//   /GONE/INNER.BIN (the whole tree deleted)
//   /TWINS/AB.BIN, /TWINS/CB.BIN (both deleted: the same stored name)
//   /My Documents/Long report name.txt (deleted)   /BIG.BIN (2 MiB, deleted)
class Page4Test : public WizardFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD").MakeDirectory("/GONE");
    volume_->MakeDirectory("/TWINS").MakeDirectory("/My Documents");
    volume_->AddFile("/DOCS/REPORT.DOC", Bytes(5000, 1))
        .AddFile("/DOCS/KEEP.TXT", Bytes(300, 2))
        .AddFile("/DOCS/OLD/PLAN.TXT", Bytes(1234, 3))
        .AddFile("/GONE/INNER.BIN", Bytes(700, 4))
        .AddFile("/TWINS/AB.BIN", Bytes(600, 5))
        .AddFile("/TWINS/CB.BIN", Bytes(900, 6))
        .AddFile("/My Documents/Long report name.txt", Bytes(2100, 7))
        .AddFile("/BIG.BIN", Bytes(2 << 20, 8));
    for (const char* path : {"/DOCS/REPORT.DOC", "/DOCS/OLD/PLAN.TXT", "/TWINS/AB.BIN",
                             "/TWINS/CB.BIN", "/My Documents/Long report name.txt", "/BIG.BIN"})
      volume_->Delete(path);
    volume_->DeleteTree("/GONE");
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }
  static std::vector<uint8_t> Bytes(size_t size, uint32_t seed) { return PatternBytes(size, seed); }

  void SetUp() override {
    StartWizard(drives_);
    GoToPage2();
    sheet().Next();
    QApplication::processEvents();
    ASSERT_EQ(sheet().ActiveIndex(), 2);
  }

  // Sets page 3 as a user would and moves on to this page.
  void GoToPage4(const QString& directory, bool recurse = true, bool deleted_dirs = true,
                 bool skip = true) {
    ui::CUndeletePage3& page3 = launcher_->page3();
    auto* edit = FindControl<QLineEdit>(&page3, 1024);
    edit->clear();
    QTest::keyClicks(edit, directory);
    auto set = [&](int id, bool on) {
      auto* box = FindControl<QCheckBox>(&page3, id);
      if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 5));
    };
    set(1030, true);  // enables 1031
    set(1031, deleted_dirs);
    set(1030, recurse);
    set(1038, skip);
    sheet().Next();
    QApplication::processEvents();
    ASSERT_EQ(sheet().ActiveIndex(), 3);
  }

  ui::CUndeletePage4& page() { return launcher_->page4(); }
  ui::WizardState& state() { return launcher_->state(); }
  QPushButton* Button(int id) { return FindControl<QPushButton>(&page(), id); }
  QString Text(int id) { return FindControl<QLabel>(&page(), id)->text(); }
  const ui::ProgressState& Progress() {
    return FindControl<ui::ProgressCtrl>(&page(), kProgress)->state();
  }
  QTreeView* List() { return FindControl<QTreeView>(&page(), kList); }
  void Press(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }
  // Ready: no worker, Show Files and Undelete enabled, Abort disabled.
  bool WaitForReady() {
    return WaitFor([&] {
      return !page().WorkerRunning() && Button(kShowFiles)->isEnabled() &&
             Button(kUndelete)->isEnabled() && !Button(kAbort)->isEnabled();
    });
  }
  bool Busy() {
    return !Button(kShowFiles)->isEnabled() && !Button(kUndelete)->isEnabled() &&
           Button(kAbort)->isEnabled();
  }
  // The list as quorvane-cli search prints it: top row first.
  std::string ListedRows() {
    std::string rows;
    const ui::ResultListModel& model = page().Rows();
    for (int i = 0; i < model.rowCount(); ++i)
      rows += model.Row(i).path + '\t' + model.Row(i).size + '\n';
    return rows;
  }
  // The file a row's recovery writes: its stored 8.3 name, blanks kept,
  // with the deleted mark replaced by X.
  std::string Recovered(const std::string& row) {
    return out_.File("X" + row.substr(row.rfind('\\') + 2));
  }
  int RowOf(const std::string& path) {
    for (int i = 0; i < page().Rows().rowCount(); ++i)
      if (page().Rows().Row(i).path == path) return i;
    return -1;
  }
  void SelectRows(std::initializer_list<int> rows) {
    List()->selectionModel()->clear();
    for (int row : rows)
      List()->selectionModel()->select(page().Rows().index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  UnchangedGuard unchanged_{volume_->path()};
  HeldDrives drives_{'C', volume_->path()};
};

TempDir* Page4Test::dir_ = nullptr;
MtoolsVolume* Page4Test::volume_ = nullptr;

TEST_F(Page4Test, FirstShownFreshWithItsHeadersAndBackAndFinish) {
  GoToPage4(QStringLiteral("C:\\"));
  EXPECT_TRUE(Button(kShowFiles)->isEnabled());
  EXPECT_FALSE(Button(kUndelete)->isEnabled());
  EXPECT_FALSE(Button(kAbort)->isEnabled());
  EXPECT_EQ(Text(kCaption), QStringLiteral("Click [show files] to see the list of undeletable files "));
  EXPECT_EQ(Text(kStatus), QStringLiteral(" "));
  EXPECT_EQ(page().Rows().headerData(0, Qt::Horizontal).toString(), QStringLiteral("File Name"));
  EXPECT_EQ(page().Rows().headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
  EXPECT_EQ(List()->columnWidth(0), 300);
  EXPECT_EQ(List()->columnWidth(1), 100);
  EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(FindControl(&sheet(), ui::CWizardSheet::kBackId)->isEnabled());
  EXPECT_TRUE(FindControl(&sheet(), ui::CWizardSheet::kFinishId)->isVisible());
  EXPECT_EQ(sheet().windowTitle(), QStringLiteral("Undelete File(s)"));
}

TEST_F(Page4Test, ShowFilesListsWhatTheCommandLineSearchListsInTheSameOrder) {
  struct Case {
    QString directory;
    bool recurse, deleted_dirs, skip;
    std::vector<std::string> cli_options;
    QString name_filter, ext_filter;
  };
  const std::vector<Case> cases = {
      {"C:\\", true, true, true, {"--recurse", "--deleted-dirs"}, {}, {}},
      {"C:", true, false, false, {"--recurse", "--all"}, {}, {}},
      {"C:\\DOCS", false, false, true, {}, {}, {}},
      {"C:\\My Documents", false, false, true, {}, {}, {}},
      {"C:\\", true, true, true, {"--recurse", "--deleted-dirs", "--name", "rep", "--ext", "doc"},
       "rep", "doc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory.toStdString());
    if (sheet().ActiveIndex() == 3) sheet().Back();
    GoToPage4(c.directory, c.recurse, c.deleted_dirs, c.skip);
    state().m_bNameFilter = !c.name_filter.isEmpty();
    state().m_strNameFilter = c.name_filter;
    state().m_bExtFilter = !c.ext_filter.isEmpty();
    state().m_strExtFilter = c.ext_filter;

    Press(kShowFiles);
    EXPECT_EQ(Text(kStatus), QStringLiteral("Searching the file system for undeletable files..."));
    EXPECT_TRUE(Busy());
    ASSERT_TRUE(WaitForReady());

    std::vector<std::string> args = {"--drive", "C:=" + volume_->path(), "search"};
    args.insert(args.end(), c.cli_options.begin(), c.cli_options.end());
    args.push_back(state().m_strSearchDir.toStdString());
    const CommandResult cli = RunCli(args);
    ASSERT_EQ(cli.status, 0) << cli.output;
    EXPECT_EQ(ListedRows(), cli.output);
    EXPECT_GT(page().Rows().rowCount(), 0);
    EXPECT_EQ(Text(kCaption), kDone);
    EXPECT_EQ(Text(kStatus), QString());
    EXPECT_EQ(Progress().high, 0);
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page4Test, RowsKeepTheirBytesAndShowThemAsLatin1) {
  GoToPage4(QStringLiteral("C:\\DOCS"), false, false, true);
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const std::string report = "C:\\DOCS\\" + E5 + "EPORT  .DOC";
  const int row = RowOf(report);
  ASSERT_GE(row, 0) << ListedRows();
  const QModelIndex index = page().Rows().index(row, 0);
  EXPECT_EQ(page().Rows().data(index).toString(),
            QStringLiteral("C:\\DOCS\\\u00E5EPORT  .DOC"));
  EXPECT_EQ(page().Rows().data(index.siblingAtColumn(1)).toString(), QStringLiteral("5000"));
}

TEST_F(Page4Test, UndeleteRecoversTheTopmostSelectedRowIntoTheOutputDirectory) {
  GoToPage4(QStringLiteral("C:\\"));
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const std::string report_row = "C:\\DOCS    \\" + E5 + "EPORT  .DOC";
  const std::string plan_row = "C:\\DOCS    \\OLD     \\" + E5 + "LAN    .TXT";
  const std::string long_row = "C:\\MYDOCU~1\\" + E5 + "ONGRE~1.TXT";
  const int report = RowOf(report_row);
  const int plan = RowOf(plan_row);
  const int long_named = RowOf(long_row);
  ASSERT_TRUE(report >= 0 && plan >= 0 && long_named >= 0) << ListedRows();

  // Several rows selected: the one nearest the top counts.
  SelectRows({std::max(report, plan), std::min(report, plan)});
  Press(kUndelete);
  EXPECT_TRUE(Busy());
  ASSERT_TRUE(WaitForReady());
  if (report < plan) {
    EXPECT_EQ(ReadFileBytes(Recovered(report_row)), Bytes(5000, 1));
  } else {
    EXPECT_EQ(ReadFileBytes(Recovered(plan_row)), Bytes(1234, 3));
  }
  SelectRows({long_named});
  Press(kUndelete);
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(ReadFileBytes(Recovered(long_row)), Bytes(2100, 7));
  EXPECT_THAT(boxes_.Texts(), ElementsAre(QStringLiteral("File Undeleted !"),
                                          QStringLiteral("File Undeleted !")));
  // The rows stay after their recovery.
  EXPECT_EQ(RowOf(long_row), long_named);
}

TEST_F(Page4Test, TwoRowsOfOneStoredNameBothLeadToTheFirstEntry) {
  GoToPage4(QStringLiteral("C:\\TWINS"), false, false, true);
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const std::string twin = "C:\\TWINS\\" + E5 + "B      .BIN";
  ASSERT_EQ(ListedRows(), twin + "\t900\n" + twin + "\t600\n");
  // The top row is CB.BIN's (found last), yet its path names the first
  // entry of that name in the directory: AB.BIN's.
  for (int row : {0, 1}) {
    SelectRows({row});
    Press(kUndelete);
    ASSERT_TRUE(WaitForReady());
    EXPECT_EQ(ReadFileBytes(Recovered(twin)), Bytes(600, 5)) << row;
  }
}

TEST_F(Page4Test, UndeleteWithNoRowSelectedGivesTheEnginesMessage) {
  GoToPage4(QStringLiteral("C:\\DOCS"));
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  List()->selectionModel()->clear();
  Press(kUndelete);
  ASSERT_TRUE(WaitForReady());
  EXPECT_THAT(boxes_.Texts(), ElementsAre(QStringLiteral("Please give/select a file to undelete ")));
}

TEST_F(Page4Test, AbortDuringASearchKeepsOneWorkerUntilItEnds) {
  GoToPage4(QStringLiteral("C:\\DOCS"));
  drives_.HoldNextDataRead();
  Press(kShowFiles);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  QApplication::processEvents();
  EXPECT_EQ(Text(kCaption), QStringLiteral("C:\\DOCS")) << "the caption follows the directory";
  EXPECT_EQ(Progress().high, 1) << "the bar turned full for the first directory";

  Press(kAbort);
  EXPECT_EQ(page().AbortFlag().load(), 1);
  EXPECT_FALSE(Button(kAbort)->isEnabled());
  // Show Files and Undelete wait for the worker: two searches would write
  // into one list.
  EXPECT_FALSE(Button(kShowFiles)->isEnabled());
  EXPECT_FALSE(Button(kUndelete)->isEnabled());
  EXPECT_TRUE(page().WorkerRunning());

  drives_.Release();
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(Text(kCaption), kDone);
  EXPECT_EQ(Text(kStatus), QString());
  // The next search starts with a cleared flag and runs to its end.
  Press(kShowFiles);
  EXPECT_EQ(page().AbortFlag().load(), 0);
  ASSERT_TRUE(WaitForReady());
  EXPECT_GE(RowOf("C:\\DOCS\\" + E5 + "EPORT  .DOC"), 0);
}

TEST_F(Page4Test, BackDuringASearchStopsItAndComingBackClearsThePage) {
  GoToPage4(QStringLiteral("C:\\"));
  drives_.HoldNextDataRead();
  Press(kShowFiles);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  sheet().Back();
  QApplication::processEvents();
  EXPECT_EQ(sheet().ActiveIndex(), 2);
  EXPECT_EQ(page().AbortFlag().load(), 1);
  EXPECT_TRUE(Busy()) << "the buttons stay as they were";

  // Back on the page while the worker still holds a cluster.
  sheet().Next();
  QApplication::processEvents();
  ASSERT_EQ(sheet().ActiveIndex(), 3);
  EXPECT_EQ(page().Rows().rowCount(), 0);
  EXPECT_EQ(Text(kStatus), QStringLiteral(" "));
  EXPECT_EQ(Progress().high, 0);
  EXPECT_EQ(Progress().pos, 0);

  drives_.Release();
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(Text(kCaption), kDone);
  // Rows of the root cluster in hand may have come; nothing below it.
  for (int i = 0; i < page().Rows().rowCount(); ++i)
    EXPECT_EQ(page().Rows().Row(i).path.find('\\', 3), std::string::npos) << page().Rows().Row(i).path;

  // Leaving and coming back when Ready: cleared, Undelete stays enabled.
  sheet().Back();
  sheet().Next();
  QApplication::processEvents();
  EXPECT_EQ(page().Rows().rowCount(), 0);
  EXPECT_TRUE(Button(kUndelete)->isEnabled());
  EXPECT_TRUE(Button(kShowFiles)->isEnabled());
}

TEST_F(Page4Test, AbortAndBackDuringARecovery) {
  GoToPage4(QStringLiteral("C:\\"), false, false, true);
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const std::string big_row = "C:\\" + E5 + "IG     .BIN";
  const int big = RowOf(big_row);
  ASSERT_GE(big, 0) << ListedRows();

  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "Back" : "Abort");
    SelectRows({big});
    drives_.HoldNextDataRead();
    Press(kUndelete);
    ASSERT_TRUE(drives_.WaitUntilHeld());
    if (back) {
      sheet().Back();
      EXPECT_EQ(sheet().ActiveIndex(), 2);
    } else {
      Press(kAbort);
      EXPECT_FALSE(Button(kShowFiles)->isEnabled());
      EXPECT_FALSE(Button(kUndelete)->isEnabled());
    }
    EXPECT_EQ(page().AbortFlag().load(), 1);
    drives_.Release();
    ASSERT_TRUE(WaitForReady());
    EXPECT_EQ(Text(kStatus), QStringLiteral("Undeletion Aborted !"));
    EXPECT_LT(ReadFileBytes(Recovered(big_row)).size(), size_t{2} << 20);
    if (back) {
      sheet().Next();
      QApplication::processEvents();
      EXPECT_EQ(Text(kStatus), QStringLiteral(" "));
    }
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page4Test, AbortRightAfterUndeleteIsNotLost) {
  GoToPage4(QStringLiteral("C:\\"), false, false, true);
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  const int big = RowOf("C:\\" + E5 + "IG     .BIN");
  ASSERT_GE(big, 0);
  SelectRows({big});
  // No event runs between the two clicks: the worker may not have begun.
  Button(kUndelete)->click();
  EXPECT_EQ(page().AbortFlag().load(), 0);
  ASSERT_TRUE(Button(kAbort)->isEnabled());
  Button(kAbort)->click();
  ASSERT_TRUE(WaitForReady());
  EXPECT_EQ(Text(kStatus), QStringLiteral("Undeletion Aborted !"));
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page4Test, WizardEndWhileARecoveryWaitsOnABoxClosesItAndJoins) {
  boxes_.LeaveOpen(true);
  GoToPage4(QStringLiteral("C:\\DOCS"), false, false, true);
  Press(kShowFiles);
  ASSERT_TRUE(WaitForReady());
  SelectRows({RowOf("C:\\DOCS\\" + E5 + "EPORT  .DOC")});
  Press(kUndelete);
  ASSERT_TRUE(WaitFor([&] { return !boxes_.OpenBoxes().empty(); }));
  EXPECT_FALSE(boxes_.boxes().back().blocks_wizard);
  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  EXPECT_TRUE(boxes_.OpenBoxes().empty());
  EXPECT_EQ(page().AbortFlag().load(), 1);
  launcher_.reset();
  QApplication::processEvents();
}

TEST_F(Page4Test, WizardEndDuringASearchJoinsBeforeThePagesGo) {
  GoToPage4(QStringLiteral("C:\\"));
  drives_.HoldNextDataRead();
  Press(kShowFiles);
  ASSERT_TRUE(drives_.WaitUntilHeld());
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    drives_.Release();
  });
  sheet().reject();
  EXPECT_FALSE(page().WorkerRunning());
  EXPECT_EQ(page().AbortFlag().load(), 1);
  launcher_.reset();  // pages and controls go; nothing may touch them now
  QApplication::processEvents();
  releaser.join();
}

}  // namespace
}  // namespace quorvane::testing
