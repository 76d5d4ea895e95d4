#include "volume/format/exfat_upcase_table.h"

#include "volume/format/exfat_cluster_runs.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/format/long_name.h"
#include "volume/little_endian.h"

namespace quorvane {

namespace {

constexpr size_t kUnits = 65536;
constexpr uint64_t kLongestTable = kUnits * 2;

}  // namespace

uint32_t ExFatTableChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  for (const uint8_t byte : bytes) sum = ((sum & 1) != 0 ? 0x80000000u : 0u) + (sum >> 1) + byte;
  return sum;
}

std::optional<ExFatUpcaseTable> ExFatUpcaseTable::FromStored(std::span<const uint8_t> stored,
                                                             uint32_t checksum) {
  if (stored.size() % 2 != 0 || ExFatTableChecksum(stored) != checksum) return std::nullopt;
  ExFatUpcaseTable table;
  table.map_.reserve(kUnits);
  const size_t units = stored.size() / 2;
  for (size_t i = 0; i < units && table.map_.size() < kUnits; ++i) {
    const auto unit = static_cast<char16_t>(LoadLe16(stored, i * 2));
    const auto index = static_cast<char16_t>(table.map_.size());
    // 0xFFFF where it is not the unit's own upper case opens a run of
    // units that are; the next value counts them.
    if (unit == 0xFFFF && unit != index && i + 1 < units) {
      const size_t run = LoadLe16(stored, ++i * 2);
      if (table.map_.size() + run > kUnits) return std::nullopt;
      for (size_t k = 0; k < run; ++k) table.map_.push_back(static_cast<char16_t>(table.map_.size()));
    } else {
      table.map_.push_back(unit);
    }
  }
  return table;
}

const ExFatUpcaseTable& ExFatUpcaseTable::Fallback() {
  static const ExFatUpcaseTable table = [] {
    ExFatUpcaseTable t;
    t.map_.resize(kUnits);
    for (size_t i = 0; i < kUnits; ++i) t.map_[i] = UpcaseUcs2(static_cast<char16_t>(i));
    return t;
  }();
  return table;
}

std::optional<ExFatUpcaseTable> LoadExFatUpcaseTable(VolumeView& view, const ExFatUpcaseRecord& record) {
  if (record.length == 0 || record.length > kLongestTable) return std::nullopt;
  const auto stored = ReadExFatFile(view, record.firstCluster, record.length, false);
  if (!stored) return std::nullopt;
  return ExFatUpcaseTable::FromStored(*stored, record.checksum);
}

}  // namespace quorvane
