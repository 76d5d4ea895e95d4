#pragma once
// Dialog 132: the results page.
#include "res/dialog_template.h"

namespace quorvane::res {
namespace results_page {

inline constexpr int kList = 1020;
inline constexpr int kShowFiles = 1021;
inline constexpr int kUndelete = 1018;
inline constexpr int kAbort = 1032;
inline constexpr int kProgress = 1029;
inline constexpr int kStatus = 1028;
inline constexpr int kCaption = 1033;  // above the list: the directory being searched

inline constexpr ControlTemplate kControls[] = {
    {kList, ControlKind::kListView, "", style::kMultiSelect, 0, 19, 284, 83},
    {kShowFiles, ControlKind::kPushButton, "&Show  Files", 0, 231, 107, 60, 15},
    {kUndelete, ControlKind::kPushButton, "&Undelete", 0, 231, 123, 60, 15},
    {kAbort, ControlKind::kPushButton, "&Abort", 0, 231, 139, 60, 15},
    {kNoId, ControlKind::kGroupBox, " Progress", 0, 0, 108, 115, 43},
    {kNoId, ControlKind::kGroupBox, "Status", 0, 120, 108, 101, 43},
    {kProgress, ControlKind::kProgressBar, "", 0, 6, 126, 102, 10},
    {kStatus, ControlKind::kStatic, "", 0, 126, 117, 89, 23},
    {kCaption, ControlKind::kStatic, "Click [show files] to see the list of undeletable files ",
     style::kSunken | style::kNoWrap, 0, 0, 284, 11},
};

}  // namespace results_page

inline constexpr DialogTemplate kResultsPage{132, "Undelete File(s)", 291, 157,
                                             results_page::kControls};

}  // namespace quorvane::res
