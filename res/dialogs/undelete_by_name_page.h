#pragma once
// Dialog 130: the undelete-by-name page.
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kUndeleteByNamePageControls[] = {
    {ui::kNoId, ui::ControlKind::kGroupBox, "&Enter the file to be undeleted here", 0, 131, 33, 154,
     117},
    {1017, ui::ControlKind::kEdit, "", 0, 137, 77, 141, 12},
    {1018, ui::ControlKind::kPushButton, "&Undelete", 0, 212, 92, 67, 15},
    {1032, ui::ControlKind::kPushButton, "&Abort", 0, 212, 108, 67, 15},
    {ui::kNoId, ui::ControlKind::kGroupBox, "Status", 0, 4, 33, 121, 49},
    {ui::kNoId, ui::ControlKind::kGroupBox, "Undeletion Progress", 0, 4, 96, 121, 54},
    {1028, ui::ControlKind::kStatic, "", 0, 17, 47, 96, 27},
    {1029, ui::ControlKind::kProgressBar, "", 0, 10, 120, 108, 10},
    {ui::kNoId, ui::ControlKind::kStatic, "{ Make sure that you enter the full path name }", 0, 134,
     131, 146, 8},
    {ui::kNoId, ui::ControlKind::kStatic,
     "If you know the full pathname of the deleted file you can enter it here and undelete it.\n"
     "If you don't know the full filename click next to continue .",
     0, 7, 5, 271, 17},
    {ui::kNoId, ui::ControlKind::kStatic, "         { use dos 8.3 format file names }", 0, 134, 54,
     146, 8},
};

inline constexpr ui::DialogTemplate kUndeleteByNamePage{
    130, "Undelete File If You Know The Complete File Name", 285, 151,
    kUndeleteByNamePageControls};

}  // namespace quorvane::res
