#include "volume/format/exfat_entry_set.h"

#include <algorithm>
#include <cassert>

#include "volume/format/exfat_names.h"
#include "volume/little_endian.h"
#include "volume/format/entry_times.h"

namespace quorvane {

namespace {


bool InUse(uint8_t type) { return (type & kExFatInUse) != 0; }
bool IsSecondary(uint8_t type) { return (type & kExFatSecondary) != 0; }
uint8_t AsInUse(uint8_t type) { return static_cast<uint8_t>(type | kExFatInUse); }

std::u16string Units(std::span<const uint8_t> bytes, size_t count) {
  std::u16string text(count, u'\0');
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<char16_t>(LoadLe16(bytes, i * 2));
  return text;
}


ExFatTimestamp Timestamp(std::span<const uint8_t> file, size_t at, std::optional<size_t> ten_ms_at,
                         size_t offset_at) {
  ExFatTimestamp t;
  t.packed = LoadLe32(file, at);
  t.tenMs = ten_ms_at ? file[*ten_ms_at] : 0;
  t.utcOffset = file[offset_at];
  return t;
}

}  // namespace

std::optional<int> ExFatTimestamp::UtcOffsetMinutes() const {
  if ((utcOffset & 0x80) == 0) return std::nullopt;
  // A 7-bit two's complement count of 15-minute steps.
  const int steps = (utcOffset & 0x40) != 0 ? static_cast<int>(utcOffset & 0x7F) - 128 : utcOffset & 0x7F;
  return steps * 15;
}

std::optional<int64_t> ExFatTimestamp::UnixSeconds() const {
  if (Month() < 1 || Month() > 12 || Day() < 1) return std::nullopt;
  const int64_t days = DaysFromCivil(Year(), static_cast<unsigned>(Month()), static_cast<unsigned>(Day()));
  const int64_t local = days * 86400 + Hour() * 3600 + Minute() * 60 + Second();
  return local - int64_t{UtcOffsetMinutes().value_or(0)} * 60;
}

uint16_t ExFatSetChecksum(std::span<const uint8_t> set, bool as_in_use) {
  // Entry by entry, so that the bytes between type bytes go through a loop
  // of their own: the search takes the checksum of every set it reads.
  uint16_t sum = 0;
  const auto add = [&sum](uint8_t byte) { sum = static_cast<uint16_t>(static_cast<uint16_t>(sum << 15 | sum >> 1) + byte); };
  for (size_t at = 0; at < set.size(); at += kExFatEntrySize) {
    const size_t end = std::min(set.size(), at + kExFatEntrySize);
    add(as_in_use ? AsInUse(set[at]) : set[at]);
    size_t i = at + 1;
    if (at == 0) {
      if (i < end) add(set[i]);
      i = 4;  // bytes 2 and 3 hold the checksum itself
    }
    for (; i < end; ++i) add(set[i]);
  }
  return sum;
}

void ExFatEntrySetReader::Add(std::span<const uint8_t> entry) {
  assert(entry.size() >= kExFatEntrySize);
  const uint64_t index = index_++;
  if (ended_) return;
  const uint8_t type = entry[0];
  if (wanted_ != 0) {
    // A secondary of the open set: the same in-use state as its File entry.
    // Anything else means the set's tail was written over.
    if (IsSecondary(type) && InUse(type) == InUse(set_[0])) {
      std::copy_n(entry.begin(), kExFatEntrySize, set_.begin() + held_ * kExFatEntrySize);
      if (++held_ == wanted_) Complete();
      return;
    }
    Abandon(ExFatDamagedSet::Why::kIncomplete);
  }
  switch (type) {
    case kExFatEndOfDirectory:
      ended_ = true;
      return;
    case kExFatFile:
    case kExFatFile & ~kExFatInUse: {
      set_index_ = index;
      const uint8_t count = entry[ExFatFileEntry::kSecondaryCountAt];
      if (count < kExFatMinSecondaries || count > kExFatMaxSecondaries) {
        ready_.emplace_back(std::in_place_type<ExFatDamagedSet>, ExFatDamagedSet{index, !InUse(type), ExFatDamagedSet::Why::kSecondaryCount});
        return;
      }
      std::copy_n(entry.begin(), kExFatEntrySize, set_.begin());
      held_ = 1;
      wanted_ = size_t{count} + 1;
      return;
    }
    case kExFatAllocationBitmap:
      ready_.emplace_back(std::in_place_type<ExFatBitmapRecord>, ExFatBitmapRecord{index,
                                         static_cast<uint8_t>(entry[ExFatSystemEntry::kBitmapFlagsAt] & 1),
                                         LoadLe32(entry, ExFatSystemEntry::kFirstClusterAt),
                                         LoadLe64(entry, ExFatSystemEntry::kDataLengthAt)});
      return;
    case kExFatUpcaseTable:
      ready_.emplace_back(std::in_place_type<ExFatUpcaseRecord>, ExFatUpcaseRecord{index, LoadLe32(entry, ExFatSystemEntry::kTableChecksumAt),
                                         LoadLe32(entry, ExFatSystemEntry::kFirstClusterAt),
                                         LoadLe64(entry, ExFatSystemEntry::kDataLengthAt)});
      return;
    case kExFatVolumeLabel: {
      const size_t count =
          std::min<size_t>(entry[ExFatLabelEntry::kCharacterCountAt], ExFatLabelEntry::kMaxCharacters);
      ready_.emplace_back(std::in_place_type<ExFatLabelRecord>, ExFatLabelRecord{index, Units(entry.subspan(ExFatLabelEntry::kLabelAt), count)});
      return;
    }
    default:
      // Free entries, deleted records, secondaries whose set is gone, and
      // entries this system has no use for (the volume GUID, vendor entries).
      return;
  }
}

void ExFatEntrySetReader::Abandon(ExFatDamagedSet::Why why) {
  ready_.emplace_back(std::in_place_type<ExFatDamagedSet>, ExFatDamagedSet{set_index_, !InUse(set_[0]), why});
  held_ = wanted_ = 0;
}

void ExFatEntrySetReader::Finish() {
  if (wanted_ != 0) Abandon(ExFatDamagedSet::Why::kIncomplete);
}

void ExFatEntrySetReader::Complete() {
  using Why = ExFatDamagedSet::Why;
  const std::span<const uint8_t> set(set_.data(), wanted_ * kExFatEntrySize);
  const auto entry = [&](size_t i) { return set.subspan(i * kExFatEntrySize, kExFatEntrySize); };
  const std::span<const uint8_t> file = entry(0);
  const std::span<const uint8_t> stream = entry(1);
  const size_t secondaries = wanted_ - 1;
  if (AsInUse(stream[0]) != kExFatStreamExtension) return Abandon(Why::kNoStream);
  const size_t name_length = stream[ExFatStreamEntry::kNameLengthAt];
  const size_t name_entries = (name_length + kExFatNameUnitsPerEntry - 1) / kExFatNameUnitsPerEntry;
  if (name_length == 0 || name_entries > secondaries - 1) return Abandon(Why::kNameLength);
  for (size_t i = 0; i < name_entries; ++i)
    if (AsInUse(entry(2 + i)[0]) != kExFatFileName) return Abandon(Why::kNameMissing);

  ExFatFileSet out;
  out.entryIndex = set_index_;
  out.secondaryCount = static_cast<uint8_t>(secondaries);
  out.deleted = !InUse(file[0]);
  out.attributes = LoadLe16(file, ExFatFileEntry::kFileAttributesAt);
  out.isDirectory = (out.attributes & kExFatAttrDirectory) != 0;
  out.name.reserve(name_length);
  for (size_t i = 0; i < name_entries; ++i) {
    const size_t units = std::min(kExFatNameUnitsPerEntry, name_length - out.name.size());
    out.name += Units(entry(2 + i).subspan(ExFatNameEntry::kNameAt), units);
  }
  out.nameUtf8 = Utf16ToUtf8(out.name);
  out.nameHash = LoadLe16(stream, ExFatStreamEntry::kNameHashAt);
  out.flags = stream[ExFatStreamEntry::kFlagsAt];
  out.noFatChain = (out.flags & kExFatNoFatChain) != 0;
  out.firstCluster = LoadLe32(stream, ExFatStreamEntry::kFirstClusterAt);
  out.size = LoadLe64(stream, ExFatStreamEntry::kDataLengthAt);
  out.validDataLength = LoadLe64(stream, ExFatStreamEntry::kValidDataLengthAt);
  out.storedChecksum = LoadLe16(file, ExFatFileEntry::kSetChecksumAt);
  out.checksumMatches = ExFatSetChecksum(set, out.deleted) == out.storedChecksum;
  using F = ExFatFileEntry;
  out.created = Timestamp(file, F::kCreateTimestampAt, F::kCreate10msAt, F::kCreateUtcOffsetAt);
  out.modified = Timestamp(file, F::kModifiedTimestampAt, F::kModified10msAt, F::kModifiedUtcOffsetAt);
  out.accessed = Timestamp(file, F::kAccessedTimestampAt, std::nullopt, F::kAccessedUtcOffsetAt);
  ready_.push_back(std::move(out));
  held_ = wanted_ = 0;
}

std::optional<ExFatItem> ExFatEntrySetReader::Next() {
  if (taken_ == ready_.size()) {
    ready_.clear();
    taken_ = 0;
    return std::nullopt;
  }
  return std::move(ready_[taken_++]);
}

void ExFatRootRecords::Take(const ExFatItem& item, uint8_t active_fat) {
  if (const auto* bitmap = std::get_if<ExFatBitmapRecord>(&item)) {
    if (!this->bitmap || (bitmap->fat == active_fat && this->bitmap->fat != active_fat)) this->bitmap = *bitmap;
  } else if (const auto* upcase = std::get_if<ExFatUpcaseRecord>(&item)) {
    if (!this->upcase) this->upcase = *upcase;
  } else if (const auto* label = std::get_if<ExFatLabelRecord>(&item)) {
    if (!this->label) this->label = *label;
  }
}

}  // namespace quorvane
