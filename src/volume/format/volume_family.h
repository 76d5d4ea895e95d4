#pragma once
// The FAT family a boot sector describes, never from the type text in the
// boot sector. FAT32 keeps its FAT size in the 32-bit field and has no fixed
// root directory region; of the others, a volume of fewer than 4,085
// clusters is FAT12, else FAT16, as the published format counts them. exFAT
// names itself in its boot sector's OEM field. FatParams reads the same.
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
