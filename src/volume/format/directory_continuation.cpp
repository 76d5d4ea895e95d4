#include "volume/format/directory_continuation.h"

#include <algorithm>
#include <string_view>

#include "volume/format/dir_entry.h"

namespace quorvane {

namespace {

// Characters no short name holds: below the blank, and those FAT reserves.
bool ShortNameByte(uint8_t c) {
  constexpr std::string_view kReserved = "\"*+,./:;<=>?[\\]|";
  return c >= 0x20 && c != 0x7F && kReserved.find(static_cast<char>(c)) == std::string_view::npos;
}

bool PlausibleLongNamePart(std::span<const uint8_t> slot) {
  const uint8_t order = slot[0];
  const bool sequence = order == kDeletedMark || ((order & 0x3F) >= 1 && (order & 0x3F) <= 20 &&
                                                  (order & 0x80) == 0);
  // The part's type byte and its cluster word are always 0.
  return sequence && slot[12] == 0 && slot[26] == 0 && slot[27] == 0;
}

bool PlausibleShortEntry(std::span<const uint8_t> slot, const FatParams& params) {
  const DirEntry entry = DirEntry::Parse(slot);
  if (entry.attr & 0xC0) return false;
  if (entry.attr & kAttrVolumeLabel) return false;  // labels live in the root only
  if (!std::all_of(slot.begin() + 1, slot.begin() + 11, ShortNameByte)) return false;
  if (slot[0] != kDeletedMark && (!ShortNameByte(slot[0]) || slot[0] == ' ')) return false;
  const uint32_t first = params.FirstClusterOf(entry);
  if (first != 0 && !params.IsClusterInVolume(first)) return false;
  // A directory records no size; FAT12 and FAT16 keep no high word.
  if ((entry.attr & kAttrDirectory) && entry.fileSize != 0) return false;
  return params.m_family == VolumeFamily::kFat32 || entry.clusterHigh == 0;
}

}  // namespace

bool EndsDirectory(std::span<const uint8_t> cluster) {
  for (size_t i = 0; i < EntriesIn(cluster); ++i)
    if (EntryBytes(cluster, i)[0] == 0) return true;
  return false;
}

bool SlotsReadAsEntries(std::span<const uint8_t> bytes, size_t from, const FatParams& params,
                        size_t& short_entries) {
  bool ended = false;
  for (size_t i = from; i < EntriesIn(bytes); ++i) {
    const auto slot = EntryBytes(bytes, i);
    if (ended || slot[0] == 0) {
      ended = true;
      if (slot[0] != 0) return false;
      continue;
    }
    if (slot[11] == kAttrLongName) {
      if (!PlausibleLongNamePart(slot)) return false;
    } else {
      if (!PlausibleShortEntry(slot, params)) return false;
      ++short_entries;
    }
  }
  return true;
}

bool ReadsAsDirectoryContinuation(std::span<const uint8_t> cluster, const FatParams& params) {
  if (EntriesIn(cluster) == 0 || cluster[0] == 0 || cluster[0] == '.') return false;
  size_t short_entries = 0;
  return SlotsReadAsEntries(cluster, 0, params, short_entries) && short_entries > 0;
}

std::optional<uint32_t> FindDirectoryContinuation(VolumeView& view, uint32_t after) {
  const uint32_t last = view.params().LastCluster();
  uint32_t examined = 0;
  for (uint32_t cluster = after + 1; cluster > after && cluster <= last &&
                                     examined < kContinuationWindow;
       ++cluster) {
    const auto free = view.ClusterFree(cluster);
    if (!free || !*free) continue;
    ++examined;
    const auto bytes = view.ReadCluster(cluster);
    if (bytes && ReadsAsDirectoryContinuation(**bytes, view.params())) return cluster;
  }
  return std::nullopt;
}

}  // namespace quorvane
