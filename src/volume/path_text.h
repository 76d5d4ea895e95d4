#pragma once
// Drive paths as bytes: "C:\DOCS\REPORT.TXT", the deleted mark 0xE5 and all.
// Only the letters a to z have a case here; every other byte stays as it is.
#include <cstdint>
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

// The letter of drive number `drive` (1 to 26).
inline char DriveLetter(int32_t drive) { return static_cast<char>('A' + drive - 1); }

}  // namespace quorvane
