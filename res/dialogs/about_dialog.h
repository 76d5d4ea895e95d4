#pragma once
// Dialog 100: the about box.
#include "res/program_texts.h"
#include "ui/dialog_template.h"

namespace quorvane::res {

inline constexpr ui::ControlTemplate kAboutControls[] = {
    {ui::kNoId, ui::ControlKind::kPicture, "152", 0, 3, 3, 73, 164},
    {ui::kNoId, ui::ControlKind::kStatic, "Quorvane  v1.0", ui::style::kCenter, 81, 7, 196, 12},
    {ui::kNoId, ui::ControlKind::kStatic, kTermsOfUse, ui::style::kCenter, 81, 24, 196, 12},
    {ui::kNoId, ui::ControlKind::kStatic, kAuthor, ui::style::kCenter, 137, 53, 71, 12},
    {ui::kNoId, ui::ControlKind::kStatic, kEmail, ui::style::kCenter, 137, 70, 94, 12},
    {ui::kNoId, ui::ControlKind::kStatic, kHomePage, ui::style::kCenter, 137, 88, 140, 12},
    {ui::kNoId, ui::ControlKind::kStatic, "1.0", ui::style::kCenter, 137, 103, 71, 12},
    {ui::kNoId, ui::ControlKind::kStatic, "Author", ui::style::kDisabled, 88, 55, 27, 8},
    {ui::kNoId, ui::ControlKind::kStatic, "email", ui::style::kDisabled, 88, 71, 27, 8},
    {ui::kNoId, ui::ControlKind::kStatic, "url", ui::style::kDisabled, 88, 88, 27, 8},
    {ui::kNoId, ui::ControlKind::kStatic, "version", ui::style::kDisabled, 88, 106, 27, 8},
    {1036, ui::ControlKind::kPushButton, "Visit Home Page", 0, 208, 129, 69, 14},
    {1, ui::ControlKind::kPushButton, "O&K", 0, 145, 150, 53, 15},
};

inline constexpr ui::DialogTemplate kAboutDialog{100, "About Quorvane", 284, 170, kAboutControls};

}  // namespace quorvane::res
