#pragma once
// One 32-byte FAT directory entry.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace quorvane {

inline constexpr size_t kDirEntrySize = 32;
inline constexpr uint8_t kDeletedMark = 0xE5;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrLongName = 0x0F;

struct DirEntry {
  std::array<uint8_t, 8> name;  // blank-padded; 0xE5 first = deleted, 0x00 first = end
  std::array<uint8_t, 3> ext;   // blank-padded extension
  uint8_t attr;                 // 0x08 label, 0x10 directory, 0x0F long-name part
  uint16_t clusterHigh;         // high half of the first cluster (offset 20)
  uint16_t clusterLow;          // low half of the first cluster (offset 26)
  uint32_t fileSize;            // size in bytes (offset 28)

  // Decodes entry `index` of a directory cluster.
  static DirEntry Parse(std::span<const uint8_t> entry);

  uint32_t FirstCluster() const { return static_cast<uint32_t>(clusterHigh) * 65536u + clusterLow; }
  std::string_view NameBytes() const {
    return {reinterpret_cast<const char*>(name.data()), name.size()};
  }
  std::string_view ExtBytes() const {
    return {reinterpret_cast<const char*>(ext.data()), ext.size()};
  }
};

// The entries of a directory cluster, back to back from its first byte.
inline size_t EntriesIn(std::span<const uint8_t> cluster) { return cluster.size() / kDirEntrySize; }
inline std::span<const uint8_t> EntryBytes(std::span<const uint8_t> cluster, size_t index) {
  return cluster.subspan(index * kDirEntrySize, kDirEntrySize);
}

}  // namespace quorvane
