// Arbitrary bytes as the entries of an exFAT directory, handed over a
// cluster at a time as a walk does: the first byte chooses the cluster size
// (1 to 128 entries) and whether what is ready is taken after each entry or
// only at cluster boundaries. Every set yielded is checked for what the
// reader promises; the names go through the UTF-8, matching and hashing
// code. The same bytes are also read as a stored up-case table and a boot
// sector.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "volume/format/exfat_boot_sector.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/format/exfat_names.h"
#include "volume/format/exfat_upcase_table.h"

namespace {

using namespace quorvane;

void Check(bool holds) {
  if (!holds) std::abort();
}

void Take(ExFatEntrySetReader& reader, uint64_t entries_given) {
  while (auto item = reader.Next()) {
    if (const auto* set = std::get_if<ExFatFileSet>(&*item)) {
      Check(set->secondaryCount >= kExFatMinSecondaries && set->secondaryCount <= kExFatMaxSecondaries);
      Check(!set->name.empty() && set->name.size() <= kExFatMaxNameLength);
      Check((set->name.size() + kExFatNameUnitsPerEntry - 1) / kExFatNameUnitsPerEntry < set->secondaryCount);
      Check(set->entryIndex + set->secondaryCount < entries_given);
      // A name whose UTF-8 reads back to it matches itself.
      if (TypedComponentToUtf16(set->nameUtf8) == set->name)
        Check(ExFatNameMatches(set->nameUtf8, set->name, ExFatUpcaseTable::Fallback()));
      (void)ExFatNameHash(set->name, ExFatUpcaseTable::Fallback());
    } else if (const auto* damaged = std::get_if<ExFatDamagedSet>(&*item)) {
      Check(damaged->entryIndex < entries_given);
    } else if (const auto* label = std::get_if<ExFatLabelRecord>(&*item)) {
      Check(label->label.size() <= ExFatLabelEntry::kMaxCharacters);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t per_cluster = size_t{1} << (data[0] % 8);
  const bool at_boundaries = (data[0] & 0x80) != 0;
  const std::span<const uint8_t> entries(data + 1, size - 1);
  ExFatEntrySetReader reader;
  const size_t count = entries.size() / kExFatEntrySize;
  for (size_t i = 0; i < count; ++i) {
    reader.Add(entries.subspan(i * kExFatEntrySize, kExFatEntrySize));
    if (!at_boundaries || (i + 1) % per_cluster == 0) Take(reader, i + 1);
  }
  reader.Finish();
  Take(reader, count);
  Check(reader.entriesSeen() == count);

  (void)ExFatUpcaseTable::FromStored(entries, ExFatTableChecksum(entries));
  if (const auto params = ExFatParams(entries, 3)) Check(!params->Problem());
  return 0;
}
