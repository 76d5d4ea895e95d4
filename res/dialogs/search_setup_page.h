#pragma once
// Dialog 131: the search-setup page.
#include "res/dialog_template.h"

namespace quorvane::res {
namespace search_setup_page {

inline constexpr int kDirectory = 1024;
inline constexpr int kBrowse = 1015;
inline constexpr int kRecurse = 1030;
inline constexpr int kSearchDeletedDirs = 1031;
inline constexpr int kSkipUnrecoverable = 1038;
inline constexpr int kMoreOptions = 1043;

inline constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kGroupBox, "&Directory to search undeletable files", 0, 9, 3, 270, 75},
    {kDirectory, ControlKind::kEdit, "", 0, 103, 54, 128, 12},
    {kBrowse, ControlKind::kPushButton, "Browse", 0, 234, 54, 28, 13},
    {kNoId, ControlKind::kGroupBox, "&Options", 0, 9, 82, 270, 71},
    {kRecurse, ControlKind::kCheckBox, "&Recursively search subdirectories", 0, 23, 97, 121, 10},
    {kSearchDeletedDirs, ControlKind::kCheckBox, "&Search also deleted directories", 0, 151, 97,
     111, 11},
    {kSkipUnrecoverable, ControlKind::kCheckBox,
     "Do no&t list files which cannot be undeleted without corruptoin", 0, 23, 115, 206, 10},
    {kMoreOptions, ControlKind::kPushButton, "&More Search Options", 0, 103, 132, 79, 14},
    {kNoId, ControlKind::kStatic,
     "The wizard can search for undeletable files in a specified directory. Select the directory "
     "and click next to continue.",
     0, 101, 19, 168, 26},
    {kNoId, ControlKind::kPicture, "151", 0, 24, 24, 47, 41},
};

}  // namespace search_setup_page

inline constexpr DialogTemplate kSearchSetupPage{
    131, "Select Directory To Search For Undeletable Files", 286, 154, search_setup_page::kControls};

}  // namespace quorvane::res
