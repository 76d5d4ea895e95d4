// Templates become widgets at the right places, in the right tab order, and
// are found again by identifier.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "res/dialogs/launcher_dialog.h"
#include "ui/dialog_builder.h"
#include "ui/dialog_units.h"
#include "ui/find_control.h"
#include "ui/progress_ctrl.h"

namespace quorvane::ui {
namespace {

TEST(DialogUnitsTest, DialogFontGivesTheMetricsTheTemplatesWereDrawnFor) {
  const QFont font = DialogFont();
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans Condensed"));
  const DialogUnits units = DialogUnits::FromFont(font);
  EXPECT_EQ(units.base_x, 6);
  EXPECT_EQ(units.base_y, 13);
  // Rounded as the platform rounds: 93 * 6 / 4 = 139.5 -> 140; 22 * 13 / 8 = 35.75 -> 36.
  EXPECT_EQ(units.Rect(99, 94, 93, 22), QRect(149, 153, 140, 36));
}

constexpr ControlTemplate kSample[] = {
    {kNoId, ControlKind::kGroupBox, "&Group", 0, 0, 0, 100, 50},
    {10, ControlKind::kEdit, "", style::kCenter, 4, 10, 40, 12},
    {11, ControlKind::kStatic, "&Label", 0, 4, 30, 40, 8},
    {12, ControlKind::kCheckBox, "Check", style::kDisabled, 50, 10, 40, 10},
    {13, ControlKind::kPushButton, "Push", style::kHidden, 50, 30, 40, 14},
    {14, ControlKind::kProgressBar, "", 0, 4, 40, 90, 8},
    {15, ControlKind::kPushButton, "Last", 0, 60, 40, 30, 8},
};
constexpr DialogTemplate kSampleDialog{1, "Sample", 100, 50, kSample};

TEST(DialogBuilderTest, ControlsCarryTheirIdsPlacesStylesAndTabOrder) {
  QDialog dialog;
  const std::vector<QWidget*> controls = BuildDialog(&dialog, kSampleDialog);
  ASSERT_EQ(controls.size(), 7u);
  const DialogUnits units = DialogUnits::FromFont(DialogFont());
  EXPECT_EQ(dialog.size(), QSize(units.X(100), units.Y(50)));

  auto* edit = FindControl<QLineEdit>(&dialog, 10);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->geometry(), units.Rect(4, 10, 40, 12));
  EXPECT_EQ(edit->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  EXPECT_EQ(edit->property(kControlIdProperty).toInt(), 10);
  EXPECT_FALSE(FindControl<QCheckBox>(&dialog, 12)->isEnabled());
  EXPECT_TRUE(FindControl<QPushButton>(&dialog, 13)->isHidden());
  EXPECT_NE(FindControl<ProgressCtrl>(&dialog, 14), nullptr);
  EXPECT_EQ(FindControl<QLineEdit>(&dialog, 11), nullptr) << "a static is no edit";

  // Template order is tab order; a static's mnemonic goes to the next stop.
  auto next_stop = [](QWidget* from) {
    QWidget* w = from->nextInFocusChain();
    while (w != from && (w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) w = w->nextInFocusChain();
    return w;
  };
  EXPECT_EQ(next_stop(edit), FindControl<QWidget>(&dialog, 12));
  EXPECT_EQ(next_stop(FindControl<QWidget>(&dialog, 12)), FindControl<QWidget>(&dialog, 13));
  EXPECT_EQ(next_stop(FindControl<QWidget>(&dialog, 13)), FindControl<QWidget>(&dialog, 15));
  EXPECT_EQ(FindControl<QLabel>(&dialog, 11)->buddy(), FindControl<QWidget>(&dialog, 12));
}

TEST(DialogBuilderTest, PictureTakesItsBitmapsSize) {
  QDialog dialog;
  BuildDialog(&dialog, res::kLauncherDialog);
  QLabel* banner = nullptr;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) banner = label;
  }
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->size(), QSize(454, 72));
  EXPECT_EQ(banner->pos(), QPoint(0, 0));
}

}  // namespace
}  // namespace quorvane::ui
