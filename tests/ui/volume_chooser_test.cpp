// The volume folder chooser on real mkfs.fat images: each drive's row tells
// which volume it is (label, family, size, image and partition), a drive that cannot be
// used is greyed with why, and a drive opened with the keyboard reads its
// directories on a worker, showing "reading…" meanwhile; closing the chooser
// waits for no read.
#include <gmock/gmock.h>

#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "latched_drives.h"
#include "support/mtools_volume.h"
#include "support/partitioned_image.h"
#include "support/run_command.h"
#include "ui/wizard/volume_folder_chooser.h"
#include "ui_test_support.h"

namespace quorvane::testing {
namespace {

const QString kReading = QStringLiteral("reading\u2026");

class ChooserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    MtoolsVolume card(dir_->File("card.img"));
    card.MakeDirectory("/DCIM").MakeDirectory("/My Documents");
    RunCommandOrThrow({"mlabel", "-i", card.path(), "::CARD"});
    MtoolsVolume camera(dir_->File("camera.img"), 16, 16);
    RunCommandOrThrow({"mlabel", "-i", camera.path(), "::OLDCAM"});
    MtoolsVolume(dir_->File("floppy.img"), 2, 12);  // mkfs.fat's "NO NAME": no label
    WriteFileBytes(dir_->File("zeros.img"), std::vector<uint8_t>(1 << 20));
    std::filesystem::create_directory(dir_->File("folder"));
    PartitionedImage disk(dir_->File("disk.img"), 20, "label: dos\nstart=2048, size=32768, type=6\n");
    disk.Format(1, 16, 1, "PHOTOS");
  }
  static void TearDownTestSuite() { dir_.reset(); }

  // Shows the chooser and waits until every drive's row is read.
  void Open() {
    dialog_ = std::make_unique<ui::VolumeFolderDialog>(drives_.table(), drives_, reads_,
                                                       QStringLiteral("Choose"));
    dialog_->show();
    dialog_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    ASSERT_TRUE(WaitFor([&] {
      for (int i = 0; i < tree()->topLevelItemCount(); ++i)
        if (tree()->topLevelItem(i)->text(0).endsWith(kReading)) return false;
      return true;
    }));
  }
  QTreeWidget* tree() { return dialog_->Tree(); }
  static std::vector<QString> Children(QTreeWidgetItem* item) {
    std::vector<QString> texts;
    for (int i = 0; i < item->childCount(); ++i) texts.push_back(item->child(i)->text(0));
    return texts;
  }

  static inline std::unique_ptr<TempDir> dir_;
  LatchedDrives drives_;
  ui::VolumeReads reads_;
  std::unique_ptr<ui::VolumeFolderDialog> dialog_;
};

TEST_F(ChooserTest, EachRowTellsWhichVolumeItIsAndUnusableDrivesAreGreyedWithWhy) {
  struct Case {
    char letter;
    std::string image;
    std::string shown;   // the row between the letter and the image's path
    const char* reason;  // nullptr: usable
    std::string after = {};
  };
  const Case cases[] = {
      {'C', "card.img", "CARD  FAT32  33.0 MiB", nullptr},
      {'D', "camera.img", "OLDCAM  FAT16  16.0 MiB", nullptr},
      {'E', "floppy.img", "FAT12  2.0 MiB", nullptr},
      {'F', "zeros.img", "no FAT or exFAT volume  1.0 MiB", "no FAT or exFAT volume"},
      {'G', "missing.img", "cannot be opened: No such file or directory",
       "No such file or directory"},
      {'H', "folder", "cannot be opened: a directory, not an image file or block device",
       "a directory"},
      {'I', "disk.img", "PHOTOS  FAT16  16.0 MiB", nullptr, "  partition 1"},
  };
  for (const Case& c : cases) {
    std::string error;
    ASSERT_TRUE(drives_.table().ParseArguments(
        {"--drive", std::string(1, c.letter) + ":=" + dir_->File(c.image)}, error))
        << error;
  }
  Open();
  ASSERT_EQ(tree()->topLevelItemCount(), int(std::size(cases)));
  for (int i = 0; i < tree()->topLevelItemCount(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.letter);
    QTreeWidgetItem* row = tree()->topLevelItem(i);
    EXPECT_EQ(row->text(0).toStdString(),
              std::string(1, c.letter) + ":  " + c.shown + "  " + dir_->File(c.image) + c.after);
    const bool enabled = row->flags() & Qt::ItemIsEnabled;
    EXPECT_EQ(enabled, c.reason == nullptr);
    EXPECT_EQ(row->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, c.reason == nullptr);
    if (c.reason) {
      EXPECT_THAT(row->toolTip(0).toStdString(), ::testing::HasSubstr(c.reason));
    }
  }

  // C: starts selected; opened with the keyboard, it lists its directories.
  EXPECT_EQ(dialog_->SelectedPath(), QStringLiteral("C:\\"));
  KeyThroughWindow(dialog_.get(), Qt::Key_Right);
  QTreeWidgetItem* card = tree()->topLevelItem(0);
  ASSERT_TRUE(WaitFor([&] { return Children(card) != std::vector{kReading}; }));
  EXPECT_THAT(Children(card), ::testing::ElementsAre("DCIM", "My Documents"));
  KeyThroughWindow(dialog_.get(), Qt::Key_End);  // the last row that can be chosen
  EXPECT_EQ(dialog_->SelectedPath(), QStringLiteral("I:\\"));
}

TEST_F(ChooserTest, AnOpenedDriveShowsReadingUntilItsListingAndClosingWaitsForNoRead) {
  drives_.table().Map('C', dir_->File("card.img"));
  Open();
  const int opened = drives_.Returned();
  drives_.Hold();
  KeyThroughWindow(dialog_.get(), Qt::Key_Right);
  ASSERT_TRUE(drives_.WaitUntilLatched(1));
  QTreeWidgetItem* card = tree()->topLevelItem(0);
  EXPECT_THAT(Children(card), ::testing::ElementsAre(kReading));
  EXPECT_EQ(card->child(0)->flags(), Qt::NoItemFlags);
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  EXPECT_TRUE(WaitFor([&] { return fired; })) << "the event loop does not run";

  KeyThroughWindow(dialog_.get(), Qt::Key_Escape);
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  dialog_.reset();
  EXPECT_EQ(drives_.Returned(), opened) << "closing the chooser waited for its read";
  EXPECT_EQ(reads_.Unjoined(), 1u);
  // Let go, the read ends and its listing is dropped with the chooser gone.
  drives_.Release();
  EXPECT_TRUE(WaitFor([&] { return reads_.Unjoined() == 0; }));
  EXPECT_EQ(drives_.Returned(), opened + 1);
}

}  // namespace
}  // namespace quorvane::testing
