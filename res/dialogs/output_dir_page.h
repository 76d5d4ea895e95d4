#pragma once
// Dialog 129: the output-directory page.
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kOutputDirPageControls[] = {
    {ui::kNoId, ui::ControlKind::kGroupBox, "&Directory to place undeleted files ", 0, 11, 30, 262,
     89},
    {1024, ui::ControlKind::kEdit, "", 0, 95, 67, 140, 12},
    {1015, ui::ControlKind::kPushButton, "&Browse", 0, 237, 67, 30, 13},
    {ui::kNoId, ui::ControlKind::kStatic, "{ undeleted files will be placed in this directory }", 0,
     97, 90, 150, 8},
    {ui::kNoId, ui::ControlKind::kPicture, "151", 0, 31, 57, 47, 41},
};

inline constexpr ui::DialogTemplate kOutputDirPage{
    129, "Select directory to place undeleted files", 283, 149, kOutputDirPageControls};

}  // namespace quorvane::res
