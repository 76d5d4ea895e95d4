// The search-setup page on a real mtools volume with long names: drive
// paths checked and shortened through our FAT reader, host paths checked
// by entering them, the current directory left as it was, the options and
// the options dialog, the folder chooser over the drive table's volumes.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include "support/mtools_volume.h"
#include "ui/wizard/volume_folder_chooser.h"
#include "volume/drive_table.h"
#include "volume/message_box_host.h"
#include "wizard_fixture.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ui::FindControl;

constexpr int kDirEdit = 1024, kBrowse = 1015, kRecurse = 1030, kDeletedDirs = 1031,
              kSkip = 1038, kMoreOptions = 1043;
const QString kMissing = QStringLiteral("Directory does not exist !");

// /My Documents/Letters 2024   /DOCS/OLD   /README.TXT (a file)   /Gone (deleted)
class Page3Test : public WizardFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->MakeDirectory("/My Documents")
        .MakeDirectory("/My Documents/Letters 2024")
        .MakeDirectory("/DOCS")
        .MakeDirectory("/DOCS/OLD")
        .MakeDirectory("/Gone")
        .AddFile("/README.TXT", std::string("text"));
    volume_->DeleteTree("/Gone");
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }

  void SetUp() override {
    drives_.Map('C', volume_->path());
    StartWizard(drives_);
    GoToPage2();
    sheet().Next();
    QApplication::processEvents();
    ASSERT_EQ(sheet().ActiveIndex(), 2);
  }
  ui::CUndeletePage3& page() { return launcher_->page3(); }
  ui::WizardState& state() { return launcher_->state(); }
  QWidget* Control(int id) { return FindControl(&page(), id); }
  QCheckBox* Check(int id) { return FindControl<QCheckBox>(&page(), id); }
  QLineEdit* Edit() { return FindControl<QLineEdit>(&page(), kDirEdit); }
  void Type(const QString& text) {
    Edit()->clear();
    QTest::keyClicks(Edit(), text);
  }
  void Tick(int id) { QTest::mouseClick(Check(id), Qt::LeftButton, {}, QPoint(6, Check(id)->height() / 2)); }
  // Types `text`, presses Next and says whether the wizard moved on (and
  // comes back to this page if it did).
  bool NextWith(const QString& text) {
    Type(text);
    sheet().Next();
    QApplication::processEvents();
    const bool moved = sheet().ActiveIndex() == 3;
    if (moved) {
      sheet().Back();
      QApplication::processEvents();
    }
    return moved;
  }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  UnchangedGuard unchanged_{volume_->path()};
  DriveTable drives_;
};

TempDir* Page3Test::dir_ = nullptr;
MtoolsVolume* Page3Test::volume_ = nullptr;

TEST_F(Page3Test, FirstShownWithSkipOnAndDeletedDirectoriesDisabled) {
  EXPECT_TRUE(Check(kSkip)->isChecked());
  EXPECT_FALSE(Check(kRecurse)->isChecked());
  EXPECT_FALSE(Check(kDeletedDirs)->isChecked());
  EXPECT_FALSE(Check(kDeletedDirs)->isEnabled());
  EXPECT_TRUE(Control(kMoreOptions)->isEnabled());
  EXPECT_EQ(Edit()->text(), QString());
  EXPECT_EQ(state().m_bNameFilter + state().m_bExtFilter + state().m_bDeletedDirFilter, 0);
  EXPECT_TRUE(FindControl(&sheet(), ui::CWizardSheet::kBackId)->isEnabled());
  EXPECT_TRUE(FindControl(&sheet(), ui::CWizardSheet::kNextId)->isEnabled());
  EXPECT_EQ(sheet().windowTitle(), QStringLiteral("Select Directory To Search For Undeletable Files"));
}

TEST_F(Page3Test, NextStoresTheShortFormOfDrivePathsAndKeepsTheCurrentDirectory) {
  const QString cwd = QDir::currentPath();
  struct Case {
    QString typed;
    QString stored;
  };
  for (const Case& c : {Case{"C:\\My Documents", "C:\\MYDOCU~1"},
                        Case{"c:\\my documents\\LETTERS 2024\\", "C:\\MYDOCU~1\\LETTER~1"},
                        Case{"C:\\docs\\", "C:\\DOCS"}, Case{"C:\\", "C:"},
                        Case{"C:", "C:"}, Case{"C:\\DOCS\\OLD", "C:\\DOCS\\OLD"}}) {
    ASSERT_TRUE(NextWith(c.typed)) << c.typed.toStdString();
    EXPECT_EQ(state().m_strSearchDir, c.stored) << c.typed.toStdString();
    EXPECT_EQ(Edit()->text(), c.typed) << "the edit keeps the long form";
    EXPECT_EQ(QDir::currentPath(), cwd);
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Page3Test, NextRefusesWhatNamesNoLiveDirectory) {
  ASSERT_TRUE(NextWith(QStringLiteral("C:\\DOCS")));
  const QString cwd = QDir::currentPath();
  for (const char* typed : {"C:\\Nowhere", "C:\\README.TXT", "C:\\Gone", "D:\\", "C:\\DOCS\\OLD\\X"})
    EXPECT_FALSE(NextWith(QString::fromLatin1(typed))) << typed;
  EXPECT_FALSE(NextWith(QString()));
  EXPECT_THAT(boxes_.Texts(),
              ElementsAre(kMissing, kMissing, kMissing, kMissing, kMissing,
                          QStringLiteral("Please specify a directory to search for undeletable files.")));
  for (const SeenBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(box.style, 48u);
  }
  EXPECT_EQ(state().m_strSearchDir, QStringLiteral("C:\\DOCS"));
  EXPECT_EQ(QDir::currentPath(), cwd);
  EXPECT_EQ(sheet().ActiveIndex(), 2);
}

TEST_F(Page3Test, HostDirectoriesAreEnteredAndLeftWhateverTheCurrentDirectorysLength) {
  // A current directory far longer than 100 characters.
  TempDir deep_root;
  QString deep = QString::fromStdString(deep_root.str());
  for (int i = 0; i < 12; ++i) deep += QStringLiteral("/a_rather_long_directory_name_%1").arg(i);
  ASSERT_TRUE(QDir().mkpath(deep));
  ScopedCurrentDir in_deep(deep.toStdString());
  const QString cwd = QDir::currentPath();
  ASSERT_GT(cwd.size(), 300);

  TempDir searched;
  const QString host = QString::fromStdString(searched.str());
  ASSERT_TRUE(NextWith(host + u'/'));
  EXPECT_EQ(state().m_strSearchDir, host);
  EXPECT_EQ(QDir::currentPath(), cwd);
  ASSERT_TRUE(NextWith(QStringLiteral("C:\\My Documents")));
  EXPECT_EQ(QDir::currentPath(), cwd);
  EXPECT_FALSE(NextWith(host + QStringLiteral("/missing")));
  EXPECT_EQ(QDir::currentPath(), cwd);
}

TEST_F(Page3Test, RecursionEnablesDeletedDirectoriesWhichKeepTheirMark) {
  Tick(kRecurse);
  EXPECT_TRUE(Check(kDeletedDirs)->isEnabled());
  Tick(kDeletedDirs);
  Tick(kRecurse);
  EXPECT_FALSE(Check(kDeletedDirs)->isEnabled());
  EXPECT_TRUE(Check(kDeletedDirs)->isChecked());
  Tick(kSkip);
  ASSERT_TRUE(NextWith(QStringLiteral("C:\\DOCS")));
  EXPECT_EQ(state().m_bRecurse, 0);
  EXPECT_EQ(state().m_bSearchDeletedDirs, 1);
  EXPECT_EQ(state().m_bSkipUnrecoverable, 0);
  // Coming back, the page shows its fields as they were.
  EXPECT_TRUE(Check(kDeletedDirs)->isChecked());
  EXPECT_FALSE(Check(kSkip)->isChecked());
}

TEST_F(Page3Test, MoreSearchOptionsCopiesTheFiltersInAndBackOnlyOnOk) {
  Tick(kRecurse);
  Tick(kDeletedDirs);
  Tick(kRecurse);  // 1031 disabled, still checked
  state().m_strNameFilter = QStringLiteral("KEEP");
  bool group_enabled = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    group_enabled = FindControl(dialog, 1045)->isEnabled();
    EXPECT_EQ(FindControl<QLineEdit>(dialog, 1041)->text(), QStringLiteral("KEEP"));
    QTest::mouseClick(FindControl<QCheckBox>(dialog, 1040), Qt::LeftButton, {}, QPoint(6, 5));
    QTest::keyClicks(FindControl<QLineEdit>(dialog, 1042), QStringLiteral("doc"));
    FindControl<QPushButton>(dialog, 1)->click();
  });
  Click(&page(), kMoreOptions);
  EXPECT_TRUE(group_enabled) << "the check mark of 1031 counts, not its enabled state";
  EXPECT_EQ(state().m_bExtFilter, 1);
  EXPECT_EQ(state().m_strExtFilter, QStringLiteral("doc"));
  EXPECT_EQ(state().m_strNameFilter, QStringLiteral("KEEP"));

  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(FindControl<QCheckBox>(dialog, 1040), Qt::LeftButton, {}, QPoint(6, 5));
    FindControl<QPushButton>(dialog, 2)->click();
  });
  Click(&page(), kMoreOptions);
  EXPECT_EQ(state().m_bExtFilter, 1);
  EXPECT_EQ(state().m_strExtFilter, QStringLiteral("doc"));
}

TEST_F(Page3Test, BrowseStoresTheChosenDirectorysShortFormAndCancelRestoresTheEdit) {
  QString title;
  QString answer = QStringLiteral("C:\\My Documents\\Letters 2024");
  auto previous = ui::SetVolumeFolderChooser([&](QWidget*, const QString& t, DriveSource&) {
    title = t;
    return answer;
  });
  Click(&page(), kBrowse);
  EXPECT_EQ(title, QStringLiteral("<< Select directory to search for undeletable files >>"));
  EXPECT_EQ(Edit()->text(), answer);
  EXPECT_EQ(state().m_strSearchDir, QStringLiteral("C:\\MYDOCU~1\\LETTER~1"));

  // Typed but not exchanged: a cancelled chooser puts the last exchanged
  // text back, and stores its short form again.
  Type(QStringLiteral("C:\\DOCS"));
  answer.clear();
  Click(&page(), kBrowse);
  EXPECT_EQ(Edit()->text(), QStringLiteral("C:\\My Documents\\Letters 2024"));
  EXPECT_EQ(state().m_strSearchDir, QStringLiteral("C:\\MYDOCU~1\\LETTER~1"));
  ui::SetVolumeFolderChooser(std::move(previous));
}

TEST_F(Page3Test, TooltipsShowAlsoOverTheDisabledCheckBox) {
  ASSERT_FALSE(Check(kDeletedDirs)->isEnabled());
  auto tip_over = [&](int id) {
    QWidget* control = Control(id);
    const QPoint centre = control->rect().center();
    QHelpEvent event(QEvent::ToolTip, centre, control->mapToGlobal(centre));
    QApplication::sendEvent(control, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  EXPECT_EQ(tip_over(kDeletedDirs),
            QStringLiteral("Enable this option if you also want to search deleted directories for "
                           "undeletable files."));
  EXPECT_EQ(tip_over(kRecurse),
            QStringLiteral("Enable this option if you want to search recursively the "
                           "subdirectories in the selected directory."));
  EXPECT_EQ(tip_over(kSkip),
            QStringLiteral("Enable this if you are searching for executable/binary files and "
                           "disable if you are searching data/text files"));
}

// The chooser itself: drives as roots, live directories by their long names.
TEST_F(Page3Test, FolderChooserShowsTheDrivesLiveDirectoriesAndGivesDrivePaths) {
  TempDir other;
  const std::string zeros = other.File("zeros.img");
  WriteFileBytes(zeros, std::vector<uint8_t>(65536, 0));
  drives_.Map('E', zeros);  // no FAT32 volume: no root
  ui::VolumeFolderDialog dialog(drives_, QStringLiteral("Pick"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Pick"));
  QTreeWidget* tree = dialog.tree();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* drive = tree->topLevelItem(0);
  EXPECT_EQ(drive->text(0), QStringLiteral("C:"));
  drive->setExpanded(true);
  std::vector<QString> names;
  for (int i = 0; i < drive->childCount(); ++i) names.push_back(drive->child(i)->text(0));
  EXPECT_THAT(names, ElementsAre(QStringLiteral("My Documents"), QStringLiteral("DOCS")));

  EXPECT_EQ(dialog.SelectedPath(), QString());
  ASSERT_TRUE(dialog.Select(QStringLiteral("C:\\my documents\\letters 2024")));
  EXPECT_EQ(dialog.SelectedPath(), QStringLiteral("C:\\My Documents\\Letters 2024"));
  tree->setCurrentItem(drive);
  EXPECT_EQ(dialog.SelectedPath(), QStringLiteral("C:\\"));
  EXPECT_FALSE(dialog.Select(QStringLiteral("C:\\Gone")));
}

}  // namespace
}  // namespace quorvane::testing
