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
  e.ntCase = entry[12];
  e.createTenths = entry[13];
  e.createTime = LoadLe16(entry, 14);
  e.createDate = LoadLe16(entry, 16);
  e.accessDate = LoadLe16(entry, 18);
  e.clusterHigh = LoadLe16(entry, 20);
  e.writeTime = LoadLe16(entry, 22);
  e.writeDate = LoadLe16(entry, 24);
  e.clusterLow = LoadLe16(entry, 26);
  e.fileSize = LoadLe32(entry, 28);
  return e;
}

}  // namespace quorvane
