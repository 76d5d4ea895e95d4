#pragma once
// The boot sector of a FAT12, FAT16 or FAT32 volume: the fields this system reads, decoded
// from sector 0 through the little-endian helpers.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace quorvane {

struct BootSector {
  // Byte offsets of the fields in the sector.
  static constexpr size_t kBytesPerSectorAt = 11;    // u16
  static constexpr size_t kSectorsPerClusterAt = 13; // u8
  static constexpr size_t kReservedSectorsAt = 14;   // u16: the first FAT begins here
  static constexpr size_t kNumFatsAt = 16;           // u8
  static constexpr size_t kRootEntriesAt = 17;       // u16: FAT12/16 fixed root region, 0 on FAT32
  static constexpr size_t kTotalSectors16At = 19;    // u16: 0 when the volume is larger
  static constexpr size_t kFatSize16At = 22;         // u16: sectors per FAT on FAT12/16, 0 on FAT32
  static constexpr size_t kTotalSectors32At = 32;    // u32
  static constexpr size_t kFatSize32At = 36;         // u32: sectors per FAT copy
  static constexpr size_t kRootClusterAt = 44;       // u32
  static constexpr size_t kFileSystemTypeAt = 82;    // 8 bytes: "FAT32   " (informative only)
  static constexpr size_t kSignatureAt = 510;        // u16: 0xAA55
  static constexpr size_t kSize = 512;

  uint16_t bytesPerSector = 0;
  uint8_t sectorsPerCluster = 0;
  uint16_t reservedSectors = 0;
  uint8_t numFats = 0;
  uint32_t totalSectors = 0;  // the 16-bit count, or the 32-bit one when it is 0
  uint16_t rootEntries = 0;
  uint16_t fatSize16 = 0;
  uint32_t fatSize = 0;       // the 16-bit size, or the 32-bit one when it is 0
  uint32_t rootCluster = 0;
  std::array<uint8_t, 8> fileSystemType{};
  uint16_t signature = 0;

  // None when `sector` is shorter than a sector.
  static std::optional<BootSector> Parse(std::span<const uint8_t> sector);
  // Whether the sector carries the signature and calls itself FAT32, as a
  // volume a host names as FAT32 does.
  bool SaysFat32() const;
};

}  // namespace quorvane
