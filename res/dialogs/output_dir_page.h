#pragma once
// Dialog 129: the output-directory page.
#include "res/dialog_template.h"

namespace quorvane::res {
namespace output_dir_page {

inline constexpr int kDirectory = 1024;
inline constexpr int kBrowse = 1015;

inline constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kGroupBox, "&Directory to place undeleted files ", 0, 11, 30, 262, 89},
    {kDirectory, ControlKind::kEdit, "", 0, 95, 67, 140, 12},
    {kBrowse, ControlKind::kPushButton, "&Browse", 0, 237, 67, 30, 13},
    {kNoId, ControlKind::kStatic, "{ undeleted files will be placed in this directory }", 0, 97, 90,
     150, 8},
    {kNoId, ControlKind::kPicture, "151", 0, 31, 57, 47, 41},
};

}  // namespace output_dir_page

inline constexpr DialogTemplate kOutputDirPage{
    129, "Select directory to place undeleted files", 283, 149, output_dir_page::kControls};

}  // namespace quorvane::res
