#pragma once
// The inputs of one deleted-file search: the directory, the option flags and
// the three filter buffers. The results page fills them before the search
// starts; the search reads them and changes only the filter buffers, which it
// uppercases (and the extension buffer, which it cuts to three characters)
// in place each time it applies them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// A filter as the search keeps it: up to 19 characters and a terminating zero.
using FilterBuffer = std::array<char, 20>;

struct SearchSettings {
  std::string strSearchDir;             // directory of the top call, e.g. C:\DOCS
  int32_t bSearchRecurse = 0;           // descend into subdirectories
  int32_t bSearchDeletedDirs = 0;       // also into deleted ones and everything below them
  int32_t bSearchSkipUnrecoverable = 0; // list a file only if its first cluster is free
  int32_t bSearchNameFilter = 0;
  FilterBuffer szSearchNameFilter{};
  int32_t bSearchExtFilter = 0;
  FilterBuffer szSearchExtFilter{};
  int32_t bSearchDeletedDirFilter = 0;
  FilterBuffer szSearchDeletedDirFilter{};
  // Beyond the classic rules, both off unless asked for: rebuild first
  // clusters whose high word a delete of the NT family cleared, and give
  // each row its long path, condition and first cluster.
  int32_t bSearchNtDeleted = 0;
  int32_t bSearchDetails = 0;
  // Also off unless asked for: each row's condition weighs the clusters
  // other deleted entries claim, and its recovery steps over them.
  int32_t bSearchFragments = 0;
};

// Copies `text` into `buffer`: at most 19 characters, the rest zero.
inline void SetFilterText(FilterBuffer& buffer, std::string_view text) {
  buffer.fill('\0');
  text.copy(buffer.data(), std::min(text.size(), buffer.size() - 1));
}

// The text a filter buffer holds, up to its first zero (or all 20 bytes).
inline std::string_view FilterText(const FilterBuffer& buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return std::string_view(buffer.data(), static_cast<size_t>(end - buffer.begin()));
}

}  // namespace quorvane
