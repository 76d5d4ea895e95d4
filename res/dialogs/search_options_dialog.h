#pragma once
// Dialog 153: the search options dialog.
#include "res/dialog_template.h"

namespace quorvane::res {
namespace search_options_dialog {

inline constexpr int kNameFilterCheck = 1039;
inline constexpr int kNameFilter = 1041;
inline constexpr int kExtFilterCheck = 1040;
inline constexpr int kExtFilter = 1042;
inline constexpr int kDeletedDirGroup = 1045;
inline constexpr int kDeletedDirFilterCheck = 1043;
inline constexpr int kDeletedDirFilter = 1044;
inline constexpr int kOk = kOkId;
inline constexpr int kCancel = kCancelId;
inline constexpr int kDeletedDirLabel = 1047;
inline constexpr int kDeletedDirNote = 1046;  // why the group is disabled
inline constexpr int kNtDeletedCheck = 1048;   // rebuild first clusters an NT-family delete cut
inline constexpr int kDetailsCheck = 1049;     // long names and condition as list columns
inline constexpr int kKeepGoingCheck = 1050;   // one row's Undelete writes unreadable sectors as zeros
inline constexpr int kFragmentsCheck = 1051;   // fragments followed, claims stepped over, lost folders found

inline constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kGroupBox, "F&ilename or substring of filename", 0, 7, 4, 190, 62},
    {kNameFilterCheck, ControlKind::kCheckBox, "Search for filename or substring of &filename", 0,
     27, 22, 150, 10},
    {kNameFilter, ControlKind::kEdit, "", style::kCenter, 128, 37, 50, 12},
    {kNoId, ControlKind::kGroupBox, "Extenti&on", 0, 7, 70, 190, 55},
    {kExtFilterCheck, ControlKind::kCheckBox, "Search for files with &extention", 0, 27, 88, 152,
     10},
    {kExtFilter, ControlKind::kEdit, "", style::kCenter, 153, 103, 25, 12},
    {kDeletedDirGroup, ControlKind::kGroupBox, "Deleted directory name or substring", 0, 7, 127,
     190, 69},
    {kDeletedDirFilterCheck, ControlKind::kCheckBox,
     "Search for files within given &deleted directory", 0, 27, 146, 157, 10},
    {kDeletedDirFilter, ControlKind::kEdit, "", style::kCenter, 128, 164, 50, 12},
    {kOk, ControlKind::kPushButton, "OK", style::kDefault, 203, 7, 50, 14},
    {kCancel, ControlKind::kPushButton, "Cancel", 0, 203, 22, 50, 14},
    {kNoId, ControlKind::kStatic, "FileN&ame/Substring", 0, 56, 39, 64, 8, kNameFilter},
    {kNoId, ControlKind::kStatic, "E&xtention of files to be searched", 0, 41, 105, 105, 9,
     kExtFilter},
    {kNoId, ControlKind::kStatic, "{ file name without extention }", 0, 95, 54, 95, 9},
    {kDeletedDirLabel, ControlKind::kStatic, "De&leted directory name or substring",
     style::kCenter, 47, 163, 75, 16, kDeletedDirFilter},
    {kDeletedDirNote, ControlKind::kStatic,
     "{Enabled only if [search deleted directories] is enabled}", 0, 15, 183, 175, 8},
    {kNtDeletedCheck, ControlKind::kCheckBox,
     "&Rebuild cluster numbers cleared by Windows NT/2000/XP and later", 0, 7, 202, 246, 10},
    {kDetailsCheck, ControlKind::kCheckBox, "&Show long names and condition", 0, 7, 215, 246,
     10},
    {kKeepGoingCheck, ControlKind::kCheckBox, "&Keep going past unreadable sectors", 0, 7, 228,
     246, 10},
    {kFragmentsCheck, ControlKind::kCheckBox, "Follow fragmen&ted files and lost folders", 0, 7, 241,
     246, 10},
};

}  // namespace search_options_dialog

inline constexpr DialogTemplate kSearchOptionsDialog{153, "Search Options", 260, 258,
                                                     search_options_dialog::kControls};

}  // namespace quorvane::res
