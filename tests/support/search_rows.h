#pragma once
// The rows quorvane-cli search writes, read back: plain rows give a path and
// a size, --details rows the long path, condition, first cluster and times too.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

struct SearchRow {
  std::string path;  // the row's bytes, as undelete takes them
  uint64_t size = 0;
  std::string longPath;   // --details: UTF-8
  std::string condition;  // --details: "intact", "unchained", ...
  uint32_t firstCluster = 0;
  // --details: the entry's times as shown ("2024-03-05T14:22:10+01:00"), "-" for none.
  std::string modified, accessed, created;
};

// One row a line, TAB between columns; a line that is no row (a message)
// fails the calling test.
std::vector<SearchRow> SearchRows(const std::string& output);

}  // namespace quorvane::testing
