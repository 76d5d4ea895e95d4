#pragma once
// Dialog 130: the undelete-by-name page.
#include "res/dialog_template.h"

namespace quorvane::res {
namespace undelete_by_name_page {

inline constexpr int kFilePath = 1017;
inline constexpr int kUndelete = 1018;
inline constexpr int kAbort = 1032;
inline constexpr int kStatus = 1028;
inline constexpr int kProgress = 1029;

inline constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kGroupBox, "&Enter the file to be undeleted here", 0, 131, 33, 154, 117},
    {kFilePath, ControlKind::kEdit, "", 0, 137, 77, 141, 12},
    {kUndelete, ControlKind::kPushButton, "&Undelete", 0, 212, 92, 67, 15},
    {kAbort, ControlKind::kPushButton, "&Abort", 0, 212, 108, 67, 15},
    {kNoId, ControlKind::kGroupBox, "Status", 0, 4, 33, 121, 49},
    {kNoId, ControlKind::kGroupBox, "Undeletion Progress", 0, 4, 96, 121, 54},
    {kStatus, ControlKind::kStatic, "", 0, 17, 47, 96, 27},
    {kProgress, ControlKind::kProgressBar, "", 0, 10, 120, 108, 10},
    {kNoId, ControlKind::kStatic, "{ Make sure that you enter the full path name }", 0, 134, 131,
     146, 8},
    {kNoId, ControlKind::kStatic,
     "If you know the full pathname of the deleted file you can enter it here and undelete it.\n"
     "If you don't know the full filename click next to continue .",
     0, 7, 5, 271, 17},
    {kNoId, ControlKind::kStatic, "         { use dos 8.3 format file names }", 0, 134, 54, 146,
     8},
};

}  // namespace undelete_by_name_page

inline constexpr DialogTemplate kUndeleteByNamePage{
    130, "Undelete File If You Know The Complete File Name", 285, 151,
    undelete_by_name_page::kControls};

}  // namespace quorvane::res
