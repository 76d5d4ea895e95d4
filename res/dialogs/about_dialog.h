#pragma once
// Dialog 100: the about box.
#include "res/dialog_template.h"
#include "res/program_texts.h"

namespace quorvane::res {
namespace about_dialog {

inline constexpr int kVisitHomePage = 1036;
inline constexpr int kOk = kOkId;

inline constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kPicture, "152", 0, 3, 3, 73, 164},
    {kNoId, ControlKind::kStatic, "Quorvane  v1.0", style::kCenter, 81, 7, 196, 12},
    {kNoId, ControlKind::kStatic, kTermsOfUse, style::kCenter, 81, 24, 196, 12},
    {kNoId, ControlKind::kStatic, kAuthor, style::kCenter, 137, 53, 71, 12},
    {kNoId, ControlKind::kStatic, kEmail, style::kCenter, 137, 70, 94, 12},
    {kNoId, ControlKind::kStatic, kHomePage, style::kCenter, 137, 88, 140, 12},
    {kNoId, ControlKind::kStatic, "1.0", style::kCenter, 137, 103, 71, 12},
    {kNoId, ControlKind::kStatic, "Author", style::kDisabled, 88, 55, 27, 8},
    {kNoId, ControlKind::kStatic, "email", style::kDisabled, 88, 71, 27, 8},
    {kNoId, ControlKind::kStatic, "url", style::kDisabled, 88, 88, 27, 8},
    {kNoId, ControlKind::kStatic, "version", style::kDisabled, 88, 106, 27, 8},
    {kVisitHomePage, ControlKind::kPushButton, "Visit Home Page", 0, 208, 129, 69, 14},
    {kOk, ControlKind::kPushButton, "O&K", 0, 145, 150, 53, 15},
};

}  // namespace about_dialog

inline constexpr DialogTemplate kAboutDialog{100, "About Quorvane", 284, 170,
                                             about_dialog::kControls};

}  // namespace quorvane::res
