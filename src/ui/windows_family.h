#pragma once
// Which family of Windows the program runs on. The NT family (NT, 2000, XP
// and later) zeroes the high word of a deleted file's first cluster, so its
// deletions cannot be undone; elsewhere the question does not arise.
namespace quorvane::ui {

#ifdef _WIN32
bool IsNtFamilySystem();  // win32/windows_family.cpp
#else
inline bool IsNtFamilySystem() { return false; }
#endif

}  // namespace quorvane::ui
