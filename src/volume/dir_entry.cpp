#include "volume/dir_entry.h"

#include <algorithm>
#include <cassert>

#include "volume/little_endian.h"

namespace quorvane {

DirEntry DirEntry::Parse(std::span<const uint8_t> entry) {
  assert(entry.size() >= kDirEntrySize);
  DirEntry e{};
  std::copy_n(entry.begin(), 8, e.name.begin());
  std::copy_n(entry.begin() + 8, 3, e.ext.begin());
  e.attr = entry[11];
  e.clusterHigh = LoadLe16(entry, 20);
  e.clusterLow = LoadLe16(entry, 26);
  e.fileSize = LoadLe32(entry, 28);
  return e;
}

}  // namespace quorvane
