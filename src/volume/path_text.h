#pragma once
// Drive paths: "C:\DOCS\REPORT.TXT" as bytes (the deleted mark 0xE5 and
// all), where only the letters a to z have a case and every other byte stays
// as it is; and as text typed by a person.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Upper-cases the letters a to z (every other byte stays, 0xE5 included).
std::string UpperAsciiLetters(std::string text);

// The pieces of `path` between backslashes; empty pieces do not count.
std::vector<std::string> SplitAtBackslashes(std::string_view path);

// Whether `path` begins as every drive path does: a letter, a colon, and then
// nothing more or a backslash ("C:", "C:\DOCS"). "C:DOCS", "C:/DOCS" and
// "DOCS" name nothing: no text between the colon and the first backslash is
// ever dropped.
bool HasDriveRoot(std::string_view path);

// Drive number of a letter (1 = A:, 3 = C:): its upper-case character code
// minus 64.
inline int32_t DriveNumber(char letter) {
  const unsigned char c = static_cast<unsigned char>(letter);
  return (c >= 'a' && c <= 'z' ? c - 32 : c) - 64;
}

// Drive paths as the wizard takes them from a person: text, either slash.
// A drive path taken apart: "C:\DOCS\Old" gives drive 3 and {"DOCS", "Old"}.
struct DrivePath {
  int32_t drive = 0;
  std::vector<std::u16string> components;
};

// Whether `text` is a drive path: a letter and a colon first.
bool IsDrivePath(std::u16string_view text);
// Splits a drive path at backslashes (or slashes). Empty components and "."
// are dropped, ".." takes back the component before it (none above the
// root), and trailing dots and blanks of a component are dropped as the
// platform drops them. None when `text` is no drive path.
std::optional<DrivePath> ParseDrivePath(std::u16string_view text);

// The letter of drive number `drive` (1 to 26).
inline char DriveLetter(int32_t drive) { return static_cast<char>('A' + drive - 1); }

}  // namespace quorvane
