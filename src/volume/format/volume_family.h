#pragma once
// The FAT family a boot sector describes. The family of a FAT volume follows
// from its count of clusters, as the published format defines it (below
// 4,085 FAT12, below 65,525 FAT16, else FAT32), never from the label text
// in the boot sector; exFAT names itself in its boot sector's OEM field.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

enum class VolumeFamily { kFat12, kFat16, kFat32, kExFat };

// "FAT12", "FAT16", "FAT32", "exFAT".
std::string_view FamilyName(VolumeFamily family);

// What a volume's boot sector (its first 512 bytes) says of it: its family
// and the label the boot sector keeps (exFAT keeps its label in the root
// directory instead, so it is empty here). None when the sector describes
// no volume of the family: no signature, or fields no FAT or exFAT volume
// has.
struct BootSectorFamily {
  VolumeFamily family;
  std::string label;  // blank-padded field with the blanks cut; "NO NAME" stays
};
std::optional<BootSectorFamily> FamilyOfBootSector(std::span<const uint8_t> sector);

}  // namespace quorvane
