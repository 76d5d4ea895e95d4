#pragma once
// Dialog 102: the main window.
#include "res/dialog_template.h"
#include "res/program_texts.h"

namespace quorvane::res {
namespace launcher_dialog {

inline constexpr int kStart = 1025;
inline constexpr int kAbout = 1026;
inline constexpr int kExit = kOkId;
inline constexpr int kHomePageLink = 1031;  // the author and home page; a click opens it

inline constexpr ControlTemplate kControls[] = {
    {kStart, ControlKind::kPushButton, "&Start Quorvane", 0, 99, 94, 93, 22},
    {kAbout, ControlKind::kPushButton, "&About Quorvane", 0, 7, 98, 93, 15},
    {kExit, ControlKind::kPushButton, "E&xit Quorvane", 0, 193, 98, 93, 15},
    {kHomePageLink, ControlKind::kStatic, kAuthorAndHomePage,
     style::kCenter | style::kSunken | style::kNotify, 0, 47, 293, 12},
    {kNoId, ControlKind::kPicture, "150", 0, 0, 0, 303, 44},
    {kNoId, ControlKind::kStatic, kTermsOfUse, style::kSunken, 0, 64, 293, 12},
    {kNoId, ControlKind::kGroupBox, "", 0, 2, 81, 289, 44},
};

}  // namespace launcher_dialog

inline constexpr DialogTemplate kLauncherDialog{102, "Quorvane", 293, 130,
                                                launcher_dialog::kControls};

}  // namespace quorvane::res
