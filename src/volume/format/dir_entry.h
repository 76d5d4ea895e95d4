#pragma once
// One 32-byte FAT directory entry, its fields in on-disk order. Decoded from
// the bytes by Parse, never by casting a buffer.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <span>
#include <string_view>

#include "volume/little_endian.h"

namespace quorvane {

inline constexpr size_t kDirEntrySize = 32;
inline constexpr uint8_t kDeletedMark = 0xE5;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;
inline constexpr uint8_t kAttrLongName = 0x0F;

struct DirEntry {
  std::array<uint8_t, 8> name;  // blank-padded; 0xE5 first = deleted, 0x00 first = end
  std::array<uint8_t, 3> ext;   // blank-padded extension
  uint8_t attr;                 // 0x08 label, 0x10 directory, 0x20 archive, 0x0F long-name part
  uint8_t ntCase;               // 0x08: name shown in lower case, 0x10: extension
  uint8_t createTenths;         // creation time, 10 ms units
  uint16_t createTime;
  uint16_t createDate;
  uint16_t accessDate;
  uint16_t clusterHigh;         // high half of the first cluster
  uint16_t writeTime;
  uint16_t writeDate;
  uint16_t clusterLow;          // low half of the first cluster
  uint32_t fileSize;            // size in bytes

  // Decodes a 32-byte entry. Inline, so that a caller that reads a few
  // fields of every entry of a directory pays only for those.
  static DirEntry Parse(std::span<const uint8_t> entry) {
    assert(entry.size() >= kDirEntrySize);
    DirEntry e;
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

  uint32_t FirstCluster() const { return static_cast<uint32_t>(clusterHigh) * 65536u + clusterLow; }
  std::string_view NameBytes() const {
    return {reinterpret_cast<const char*>(name.data()), name.size()};
  }
  std::string_view ExtBytes() const {
    return {reinterpret_cast<const char*>(ext.data()), ext.size()};
  }
  bool IsEnd() const { return name[0] == 0x00; }
  bool IsDeleted() const { return name[0] == kDeletedMark; }
  bool IsDotEntry() const { return name[0] == '.'; }
  bool IsLongNamePart() const { return attr == kAttrLongName; }
  bool IsDirectory() const { return (attr & kAttrDirectory) != 0; }
  bool IsVolumeLabel() const { return (attr & kAttrVolumeLabel) != 0; }
};
static_assert(sizeof(DirEntry) == kDirEntrySize, "the fields follow the on-disk layout");

// The entries of a directory cluster, back to back from its first byte.
inline size_t EntriesIn(std::span<const uint8_t> cluster) { return cluster.size() / kDirEntrySize; }
inline std::span<const uint8_t> EntryBytes(std::span<const uint8_t> cluster, size_t index) {
  return cluster.subspan(index * kDirEntrySize, kDirEntrySize);
}

}  // namespace quorvane
