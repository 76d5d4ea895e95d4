#pragma once
// The up-case table of an exFAT volume: the upper case of each UTF-16 unit,
// by which the volume's names are compared and hashed. It is stored
// compressed: a unit 0xFFFF followed by a count stands for that many units
// that are their own upper case.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "volume/format/volume_view.h"

namespace quorvane {

struct ExFatUpcaseRecord;

class ExFatUpcaseTable {
 public:
  // The table from its stored bytes (compressed or not), if they give the
  // TableChecksum `checksum` and map no more than the 65,536 units.
  static std::optional<ExFatUpcaseTable> FromStored(std::span<const uint8_t> stored, uint32_t checksum);
  // For a volume whose table cannot be read: the Latin letters of ASCII,
  // Latin-1 and Latin Extended-A, Greek and Cyrillic, as the FAT long names
  // are compared.
  static const ExFatUpcaseTable& Fallback();

  char16_t Upcase(char16_t unit) const { return unit < map_.size() ? map_[unit] : unit; }

 private:
  std::vector<char16_t> map_;  // units past its end are their own upper case
};

// The TableChecksum over a table's stored bytes (a 32-bit rotate-and-add).
uint32_t ExFatTableChecksum(std::span<const uint8_t> bytes);

// The volume's table as its root entry describes it (a FAT chain from its
// first cluster); none when it cannot be read, is longer than an
// uncompressed table, or does not match its checksum.
std::optional<ExFatUpcaseTable> LoadExFatUpcaseTable(VolumeView& view, const ExFatUpcaseRecord& record);

}  // namespace quorvane
