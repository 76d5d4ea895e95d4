#pragma once
// Dialog 132: the results page.
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kResultsPageControls[] = {
    {1020, ui::ControlKind::kListView, "", ui::style::kMultiSelect, 0, 19, 284, 83},
    {1021, ui::ControlKind::kPushButton, "&Show  Files", 0, 231, 107, 60, 15},
    {1018, ui::ControlKind::kPushButton, "&Undelete", 0, 231, 123, 60, 15},
    {1032, ui::ControlKind::kPushButton, "&Abort", 0, 231, 139, 60, 15},
    {ui::kNoId, ui::ControlKind::kGroupBox, " Progress", 0, 0, 108, 115, 43},
    {ui::kNoId, ui::ControlKind::kGroupBox, "Status", 0, 120, 108, 101, 43},
    {1029, ui::ControlKind::kProgressBar, "", 0, 6, 126, 102, 10},
    {1028, ui::ControlKind::kStatic, "", 0, 126, 117, 89, 23},
    {1033, ui::ControlKind::kStatic, "Click [show files] to see the list of undeletable files ",
     ui::style::kSunken | ui::style::kNoWrap, 0, 0, 284, 11},
};

inline constexpr ui::DialogTemplate kResultsPage{132, "Undelete File(s)", 291, 157,
                                                 kResultsPageControls};

}  // namespace quorvane::res
