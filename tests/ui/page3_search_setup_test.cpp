// The search-setup page on a real mtools volume with long names: drive
// paths checked and shortened through the FAT reader, host directories
// checked in place; the current directory left as it was.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <filesystem>

#include <sys/stat.h>

#include "res/dialogs/search_setup_page.h"
#include "support/mtools_volume.h"
#include "ui_test_support.h"
#include "volume/host/drive_table.h"

namespace quorvane::testing {
namespace {

using res::search_setup_page::kDirectory;
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

}  // namespace
}  // namespace quorvane::testing
