// The search-setup page on real mtools volumes: drive paths checked and
// shortened through the FAT reader, host directories checked in place, the
// current directory left as it was; and the check on its worker, with the
// volume's open blocked as it is while the desktop asks for a password: the
// wizard keeps painting and says it is checking, a second Next starts
// nothing, Back and typing abandon the check (its result is dropped), and
// Cancel ends the wizard at once, then joins the blocked worker.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include "latched_drives.h"
#include "res/dialogs/search_setup_page.h"
#include "support/mtools_volume.h"
#include "ui_test_support.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {
namespace {

using res::search_setup_page::kDirectory;
using ui::CWizardSheet;
const QString kMissing = QStringLiteral("Directory does not exist !");

// /My Documents/Letters 2024   /DOCS/OLD   /README.TXT (a file)   /Gone (deleted)
class Page3Test : public SuiteVolumeFixture {
 protected:
  static void SetUpTestSuite() {
    MakeVolume().MakeDirectory("/My Documents").MakeDirectory("/My Documents/Letters 2024");
    volume_->MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD").MakeDirectory("/Gone");
    volume_->AddFile("/README.TXT", std::string("text")).DeleteTree("/Gone");
  }
  void SetUp() override {
    drives_.Map('C', volume_->path());
    StartWizard(drives_);
    Forward(2);
  }
  // Types `directory` and presses Next: true when the page moved on (and
  // has been come back to), false when it refused with kMissing.
  bool Accepted(const QString& directory) {
    const size_t boxes_before = boxes_.boxes().size();
    const QString stored_before = launcher_->state().m_strSearchDir;
    Type(&launcher_->page3(), kDirectory, directory);
    sheet().Next();
    // The check runs on a worker; the page moves on or refuses when it ends.
    EXPECT_TRUE(WaitFor([&] { return !launcher_->page3().Checking(); }));
    QApplication::processEvents();
    if (sheet().ActiveIndex() == 3) {
      EXPECT_EQ(boxes_.boxes().size(), boxes_before);
      sheet().Back();
      QApplication::processEvents();
      EXPECT_EQ(ui::FindControl<QLineEdit>(&launcher_->page3(), kDirectory)->text(), directory)
          << "the edit keeps the long form";
      return true;
    }
    EXPECT_EQ(sheet().ActiveIndex(), 2);
    EXPECT_EQ(launcher_->state().m_strSearchDir, stored_before);
    EXPECT_EQ(boxes_.boxes().size(), boxes_before + 1);
    EXPECT_EQ(boxes_.boxes().back().text, kMissing);
    EXPECT_EQ(boxes_.boxes().back().style, 48u);
    return false;
  }

  DriveTable drives_;
};

TEST_F(Page3Test, NextStoresTheShortFormOfLiveDirectoriesAndRefusesTheRest) {
  // The options as the page first shows them.
  auto check_box = [&](int id) { return ui::FindControl<QCheckBox>(&launcher_->page3(), id); };
  EXPECT_FALSE(check_box(res::search_setup_page::kRecurse)->isChecked());
  EXPECT_FALSE(check_box(res::search_setup_page::kSearchDeletedDirs)->isEnabled());
  EXPECT_TRUE(check_box(res::search_setup_page::kSkipUnrecoverable)->isChecked());
  struct Case {
    const char* typed;
    const char* stored;  // nullptr: refused
  };
  const Case cases[] = {
      {"C:\\My Documents", "C:\\MYDOCU~1"},
      {"c:\\my documents\\LETTERS 2024\\", "C:\\MYDOCU~1\\LETTER~1"},
      {"C:\\docs\\", "C:\\DOCS"}, {"C:\\", "C:"}, {"C:\\DOCS\\OLD", "C:\\DOCS\\OLD"},
      {"C:\\Nowhere", nullptr}, {"C:\\README.TXT", nullptr}, {"C:\\Gone", nullptr},
      {"D:\\", nullptr}, {"C:\\DOCS\\OLD\\X", nullptr}};
  const QString cwd = QDir::currentPath();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ASSERT_EQ(Accepted(QString::fromLatin1(c.typed)), c.stored != nullptr);
    if (c.stored) {
      EXPECT_EQ(launcher_->state().m_strSearchDir, QString::fromLatin1(c.stored));
    }
    EXPECT_EQ(QDir::currentPath(), cwd);
  }
}

TEST_F(Page3Test, HostDirectoriesAreCheckedWithoutEnteringThem) {
  TempDir host;
  std::filesystem::create_directory(host.path() / "sub");
  WriteFileBytes(host.path() / "file.txt", std::vector<uint8_t>{1});
  // The current directory is one that can no longer be entered: a check
  // that entered another directory could not come back to it.
  const std::filesystem::path gone = host.path() / "gone";
  std::filesystem::create_directory(gone);
  struct stat before {};
  ASSERT_EQ(stat(gone.c_str(), &before), 0);
  ScopedCurrentDir in_gone(gone);
  std::filesystem::remove(gone);

  const std::string sub = (host.path() / "sub").string();
  struct Case {
    std::string typed;
    std::string stored;  // empty: refused
  };
  const Case cases[] = {{sub, sub}, {sub + "/", sub}, {host.File("file.txt"), ""},
                        {host.File("missing"), ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ASSERT_EQ(Accepted(QString::fromStdString(c.typed)), !c.stored.empty());
    if (!c.stored.empty()) {
      EXPECT_EQ(launcher_->state().m_strSearchDir, QString::fromStdString(c.stored));
    }
    struct stat now {};
    ASSERT_EQ(stat(".", &now), 0);
    EXPECT_EQ(now.st_ino, before.st_ino) << "the current directory changed";
  }
}

TEST_F(Page3Test, AHostDirectoryOnADrivesMountedVolumeIsCheckedAsThatDrivesDirectory) {
  // D: is the file system holding a host directory; it is no FAT32 volume
  // (or cannot be opened here), so the directory, taken as D:\..., is
  // refused where a host directory elsewhere is accepted as it stands.
  TempDir host;
  std::filesystem::create_directory(host.path() / "sub");
  const std::string device = BlockDeviceHolding(host.path());
  if (device.empty()) GTEST_SKIP() << "no block device in /dev holds " << host.str();
  drives_.Map('D', device);
  EXPECT_FALSE(Accepted(QString::fromStdString(host.File("sub"))));
}

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
