#pragma once
// The program's own strings: the system-menu entry and the project's author,
// addresses and terms of use.
namespace quorvane::res {

inline constexpr char kAboutMenuEntry[] = "&About Quorvane...";  // string 101
inline constexpr int kAboutCommand = 16;

inline constexpr char kAuthor[] = "The Quorvane project";
inline constexpr char kEmail[] = "quorvane@example.org";
inline constexpr char kHomePage[] = "https://quorvane.example.org/";
inline constexpr char kAuthorAndHomePage[] =
    "The Quorvane project  -  https://quorvane.example.org/";
inline constexpr char kTermsOfUse[] = "Free software without warranty: use it at your own risk.";

}  // namespace quorvane::res
