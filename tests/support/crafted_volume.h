#pragma once
// A FAT32 volume written byte by byte in memory, for the cases real tools
// cannot make: bad boot-sector values, cycles, chains out of the volume,
// entries with chosen cluster words.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::testing {

// The layout the builder lays out. Boot-sector setters of CraftedVolume change
// only the bytes of sector 0, never this layout, so a test can lie about it.
struct CraftedGeometry {
  uint8_t sectors_per_cluster = 1;   // clusters of 512 bytes by default
  uint16_t reserved_sectors = 32;   // at least 2: sector 1 is the FSInfo
  uint8_t num_fats = 2;
  uint32_t clusters = 400;           // data clusters: numbers 2 .. clusters + 1
  uint32_t root_cluster = 2;
};

// An 11-byte directory name from an 8.3 pair, each blank-padded:
// ShortName("README", "TXT") == "README  TXT". Bytes are kept as given
// (pass "\xE5" "EADME" for a deleted entry).
std::string ShortName(std::string_view name, std::string_view ext = "");

struct CraftedEntry {
  std::string name11;            // exactly 11 bytes (see ShortName)
  uint8_t attr = 0x20;           // archive
  uint32_t first_cluster = 0;    // split into the high and low words
  uint32_t size = 0;
};

class CraftedVolume {
 public:
  // A formatted, empty volume: boot sector and FSInfo, the FAT copies with
  // their two reserved entries and the root's cluster ended, zeroed clusters.
  explicit CraftedVolume(const CraftedGeometry& geometry = {});

  uint32_t FirstDataSector() const;
  uint32_t ClusterBytes() const;
  uint32_t LastCluster() const { return geometry_.clusters + 1; }
  uint64_t ClusterOffset(uint32_t cluster) const;  // byte offset in the image

  // Boot-sector fields (sector 0 only; the layout stays as built).
  CraftedVolume& SetSectorsPerCluster(uint8_t value);
  CraftedVolume& SetRootCluster(uint32_t value);

  // FAT entries, written into every FAT copy.
  CraftedVolume& SetFat(uint32_t cluster, uint32_t value);
  // Links the clusters in the order given and ends the last with 0x0FFFFFFF.
  CraftedVolume& Chain(std::initializer_list<uint32_t> clusters);
  // Links the clusters in order and the last back to the first.
  CraftedVolume& Cycle(std::initializer_list<uint32_t> clusters);

  // Directory entry `index` of directory cluster `dir_cluster`.
  CraftedVolume& SetEntry(uint32_t dir_cluster, size_t index, const CraftedEntry& entry);

  // Cluster contents: `bytes` from the cluster's first byte, or the whole
  // cluster set to `value`.
  CraftedVolume& FillCluster(uint32_t cluster, std::span<const uint8_t> bytes);
  CraftedVolume& FillCluster(uint32_t cluster, uint8_t value);
  std::span<uint8_t> Cluster(uint32_t cluster);

  const std::vector<uint8_t>& bytes() const { return image_; }

 private:
  uint32_t TotalSectors() const;
  CraftedVolume& Link(std::initializer_list<uint32_t> clusters, uint32_t after_last);
  void SetFatCopy(unsigned copy, uint32_t cluster, uint32_t value);

  CraftedGeometry geometry_;
  uint32_t fat_sectors_ = 0;
  std::vector<uint8_t> image_;
};

}  // namespace quorvane::testing
