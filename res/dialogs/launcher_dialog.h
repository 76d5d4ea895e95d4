#pragma once
// Dialog 102: the main window.
#include "res/program_texts.h"
#include "ui/dialog_template.h"

namespace quorvane::res {

using ui::ControlKind;
namespace st = ui::style;

inline constexpr ui::ControlTemplate kLauncherControls[] = {
    {1025, ControlKind::kPushButton, "&Start Quorvane", 0, 99, 94, 93, 22},
    {1026, ControlKind::kPushButton, "&About Quorvane", 0, 7, 98, 93, 15},
    {1, ControlKind::kPushButton, "E&xit Quorvane", 0, 193, 98, 93, 15},
    {1031, ControlKind::kStatic, kAuthorAndHomePage, st::kCenter | st::kSunken | st::kNotify, 0, 47,
     293, 12},
    {ui::kNoId, ControlKind::kPicture, "150", 0, 0, 0, 303, 44},
    {ui::kNoId, ControlKind::kStatic, kTermsOfUse, st::kSunken, 0, 64, 293, 12},
    {ui::kNoId, ControlKind::kGroupBox, "", 0, 2, 81, 289, 44},
};

inline constexpr ui::DialogTemplate kLauncherDialog{102, "Quorvane", 293, 130, kLauncherControls};

}  // namespace quorvane::res
