#pragma once
// Dialog 153: the search options dialog.
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kSearchOptionsDialogControls[] = {
    {ui::kNoId, ui::ControlKind::kGroupBox, "F&ilename or substring of filename", 0, 7, 4, 190, 62},
    {1039, ui::ControlKind::kCheckBox, "Search for filename or substring of &filename", 0, 27, 22,
     150, 10},
    {1041, ui::ControlKind::kEdit, "", ui::style::kCenter, 128, 37, 50, 12},
    {ui::kNoId, ui::ControlKind::kGroupBox, "Extenti&on", 0, 7, 70, 190, 55},
    {1040, ui::ControlKind::kCheckBox, "Search for files with &extention", 0, 27, 88, 152, 10},
    {1042, ui::ControlKind::kEdit, "", ui::style::kCenter, 153, 103, 25, 12},
    {1045, ui::ControlKind::kGroupBox, "Deleted directory name or substring", 0, 7, 127, 190, 69},
    {1043, ui::ControlKind::kCheckBox, "Search for files within given &deleted directory", 0, 27,
     146, 157, 10},
    {1044, ui::ControlKind::kEdit, "", ui::style::kCenter, 128, 164, 50, 12},
    {1, ui::ControlKind::kPushButton, "OK", ui::style::kDefault, 203, 7, 50, 14},
    {2, ui::ControlKind::kPushButton, "Cancel", 0, 203, 22, 50, 14},
    {ui::kNoId, ui::ControlKind::kStatic, "FileN&ame/Substring", 0, 56, 39, 64, 8, 1041},
    {ui::kNoId, ui::ControlKind::kStatic, "E&xtention of files to be searched", 0, 41, 105, 105, 9,
     1042},
    {ui::kNoId, ui::ControlKind::kStatic, "{ file name without extention }", 0, 95, 54, 95, 9},
    {1047, ui::ControlKind::kStatic, "De&leted directory name or substring", ui::style::kCenter, 47,
     163, 75, 16, 1044},
    {1046, ui::ControlKind::kStatic, "{Enabled only if [search deleted directories] is enabled}", 0,
     15, 183, 175, 8},
};

inline constexpr ui::DialogTemplate kSearchOptionsDialog{153, "Search Options", 260, 204,
                                                         kSearchOptionsDialogControls};

}  // namespace quorvane::res
