#pragma once
// Turning a path such as C:\DOCS\REPORT.TXT into what the directory walk
// looks for: the drive, and per component the 8 name and 3 extension bytes.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

struct SplitPathResult {
  bool carries_deleted_mark = false;  // 0xE5 anywhere in the path as given
  std::vector<std::string> pieces;    // upper-cased; the drive piece first
};

// Upper-cases the letters a to z (every other byte stays, 0xE5 included) and
// cuts the path at backslashes, skipping empty pieces.
SplitPathResult SplitUndeletePath(const std::string& path);

enum class PatternError {
  kNone,
  kBadFileName,  // name part empty or over 8 bytes, or extension over 3
  kDirNameTooLong,
};

struct LookupPattern {
  std::array<uint8_t, 8> name{};
  std::array<uint8_t, 3> ext{};
  std::string output_name;  // the file component, 0xE5 first byte made 'X'
};

// The pattern for the last component, which names the file (README alone
// names one without an extension): its first name byte becomes the deleted
// mark unless the path already carries one.
PatternError MakeLookupPattern(const std::string& component, bool path_carries_mark,
                               LookupPattern& pattern);

// Whether a directory component fits an 8.3 name (see StoredNameOfComponent);
// which error when it does not.
PatternError CheckDirectoryComponent(const std::string& component);

}  // namespace quorvane
