#pragma once
// Dialog 131: the search-setup page.
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kSearchSetupPageControls[] = {
    {ui::kNoId, ui::ControlKind::kGroupBox, "&Directory to search undeletable files", 0, 9, 3, 270,
     75},
    {1024, ui::ControlKind::kEdit, "", 0, 103, 54, 128, 12},
    {1015, ui::ControlKind::kPushButton, "Browse", 0, 234, 54, 28, 13},
    {ui::kNoId, ui::ControlKind::kGroupBox, "&Options", 0, 9, 82, 270, 71},
    {1030, ui::ControlKind::kCheckBox, "&Recursively search subdirectories", 0, 23, 97, 121, 10},
    {1031, ui::ControlKind::kCheckBox, "&Search also deleted directories", 0, 151, 97, 111, 11},
    {1038, ui::ControlKind::kCheckBox,
     "Do no&t list files which cannot be undeleted without corruptoin", 0, 23, 115, 206, 10},
    {1043, ui::ControlKind::kPushButton, "&More Search Options", 0, 103, 132, 79, 14},
    {ui::kNoId, ui::ControlKind::kStatic,
     "The wizard can search for undeletable files in a specified directory. Select the directory "
     "and click next to continue.",
     0, 101, 19, 168, 26},
    {ui::kNoId, ui::ControlKind::kPicture, "151", 0, 24, 24, 47, 41},
};

inline constexpr ui::DialogTemplate kSearchSetupPage{
    131, "Select Directory To Search For Undeletable Files", 286, 154, kSearchSetupPageControls};

}  // namespace quorvane::res
