#pragma once
// exFAT directory entries. A file is an entry set: a File entry, its Stream
// Extension, then File Name entries of 15 UTF-16 units each, all checked by
// one SetChecksum in the File entry. A delete clears the in-use bit (0x80)
// of the type in every entry of the set and leaves the rest as it was. The
// root also holds one-entry records: the allocation bitmap, the up-case
// table and the volume label.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace quorvane {

inline constexpr size_t kExFatEntrySize = 32;
// The type byte: bit 7 in use, bit 6 secondary, bit 5 benign, bits 0-4 the code.
inline constexpr uint8_t kExFatInUse = 0x80;
inline constexpr uint8_t kExFatSecondary = 0x40;
inline constexpr uint8_t kExFatEndOfDirectory = 0x00;
inline constexpr uint8_t kExFatAllocationBitmap = 0x81;
inline constexpr uint8_t kExFatUpcaseTable = 0x82;
inline constexpr uint8_t kExFatVolumeLabel = 0x83;
inline constexpr uint8_t kExFatFile = 0x85;
inline constexpr uint8_t kExFatStreamExtension = 0xC0;
inline constexpr uint8_t kExFatFileName = 0xC1;

inline constexpr uint16_t kExFatAttrDirectory = 0x10;
inline constexpr uint8_t kExFatAllocationPossible = 0x01;  // GeneralSecondaryFlags
inline constexpr uint8_t kExFatNoFatChain = 0x02;
// A set has a stream and 1 to 17 name entries: 255 units at most.
inline constexpr size_t kExFatMinSecondaries = 2;
inline constexpr size_t kExFatMaxSecondaries = 18;
inline constexpr size_t kExFatNameUnitsPerEntry = 15;
inline constexpr size_t kExFatMaxNameLength = 255;

// Byte offsets of the fields each entry type holds.
struct ExFatFileEntry {
  static constexpr size_t kSecondaryCountAt = 1;     // u8
  static constexpr size_t kSetChecksumAt = 2;        // u16
  static constexpr size_t kFileAttributesAt = 4;     // u16
  static constexpr size_t kCreateTimestampAt = 8;    // u32, DOS date and time
  static constexpr size_t kModifiedTimestampAt = 12; // u32
  static constexpr size_t kAccessedTimestampAt = 16; // u32
  static constexpr size_t kCreate10msAt = 20;        // u8: 0..199
  static constexpr size_t kModified10msAt = 21;      // u8
  static constexpr size_t kCreateUtcOffsetAt = 22;   // u8: bit 7 valid, bits 0-6 quarter hours
  static constexpr size_t kModifiedUtcOffsetAt = 23;
  static constexpr size_t kAccessedUtcOffsetAt = 24;
};
struct ExFatStreamEntry {
  static constexpr size_t kFlagsAt = 1;              // u8: GeneralSecondaryFlags
  static constexpr size_t kNameLengthAt = 3;         // u8
  static constexpr size_t kNameHashAt = 4;           // u16
  static constexpr size_t kValidDataLengthAt = 8;    // u64
  static constexpr size_t kFirstClusterAt = 20;      // u32
  static constexpr size_t kDataLengthAt = 24;        // u64
};
struct ExFatNameEntry {
  static constexpr size_t kNameAt = 2;               // 15 UTF-16 units
};
// The allocation bitmap and up-case table entries share these.
struct ExFatSystemEntry {
  static constexpr size_t kBitmapFlagsAt = 1;        // u8: bit 0 the FAT it belongs to
  static constexpr size_t kTableChecksumAt = 4;      // u32, up-case table only
  static constexpr size_t kFirstClusterAt = 20;      // u32
  static constexpr size_t kDataLengthAt = 24;        // u64
};
struct ExFatLabelEntry {
  static constexpr size_t kCharacterCountAt = 1;     // u8: up to 11
  static constexpr size_t kLabelAt = 2;              // 11 UTF-16 units
  static constexpr size_t kMaxCharacters = 11;
};

// A timestamp of a File entry: a DOS date and time (2-second steps), a
// count of 10 ms added to it, and the offset from UTC it was taken in.
struct ExFatTimestamp {
  uint32_t packed = 0;     // date in the high 16 bits, time in the low
  uint8_t tenMs = 0;       // 0 when the entry has no such field (last accessed)
  uint8_t utcOffset = 0;   // as stored

  int Year() const { return 1980 + static_cast<int>(packed >> 25); }
  int Month() const { return static_cast<int>(packed >> 21 & 0x0F); }
  int Day() const { return static_cast<int>(packed >> 16 & 0x1F); }
  int Hour() const { return static_cast<int>(packed >> 11 & 0x1F); }
  int Minute() const { return static_cast<int>(packed >> 5 & 0x3F); }
  int Second() const { return static_cast<int>(packed & 0x1F) * 2 + tenMs / 100; }
  int Millisecond() const { return tenMs % 100 * 10; }
  // Minutes east of UTC, when the entry records it.
  std::optional<int> UtcOffsetMinutes() const;
  // Seconds since 1970-01-01 UTC (the local time less the UTC offset when
  // one is recorded); none for a field that is no date (month or day 0).
  std::optional<int64_t> UnixSeconds() const;
};

// A file or directory: one entry set, whole.
struct ExFatFileSet {
  uint64_t entryIndex = 0;     // the File entry's place in the directory, counted from 0
  uint8_t secondaryCount = 0;
  bool deleted = false;        // in-use bits clear
  uint16_t attributes = 0;
  bool isDirectory = false;
  std::u16string name;         // NameLength units
  std::string nameUtf8;
  uint16_t nameHash = 0;
  uint8_t flags = 0;           // GeneralSecondaryFlags of the stream
  bool noFatChain = false;     // the clusters follow one another; the FAT is not read
  uint32_t firstCluster = 0;
  uint64_t size = 0;           // DataLength
  uint64_t validDataLength = 0;
  uint16_t storedChecksum = 0;
  // The set's bytes give the SetChecksum stored in it (reckoned with the
  // in-use bits of a deleted set as they were before the delete).
  bool checksumMatches = false;
  ExFatTimestamp created, modified, accessed;
};

struct ExFatBitmapRecord {
  uint64_t entryIndex = 0;
  uint8_t fat = 0;             // 0: the first FAT's bitmap, 1: the second's (TexFAT)
  uint32_t firstCluster = 0;
  uint64_t length = 0;
};
struct ExFatUpcaseRecord {
  uint64_t entryIndex = 0;
  uint32_t checksum = 0;
  uint32_t firstCluster = 0;
  uint64_t length = 0;
};
struct ExFatLabelRecord {
  uint64_t entryIndex = 0;
  std::u16string label;
};

// An entry set that cannot be taken whole; nothing of it is given.
struct ExFatDamagedSet {
  enum class Why {
    kSecondaryCount,  // SecondaryCount outside 2..18
    kIncomplete,      // fewer secondary entries follow than it counts (a new set took their place)
    kNoStream,        // the first secondary is no Stream Extension
    kNameLength,      // NameLength 0, past 255, or past the File Name entries the set holds
    kNameMissing,     // an entry the name needs is no File Name entry
  };
  uint64_t entryIndex = 0;
  bool deleted = false;
  Why why = Why::kIncomplete;
};

using ExFatItem =
    std::variant<ExFatFileSet, ExFatBitmapRecord, ExFatUpcaseRecord, ExFatLabelRecord, ExFatDamagedSet>;

// The SetChecksum of the entries `set` (32 bytes each), skipping the
// checksum field itself (bytes 2 and 3 of the first entry). With
// `as_in_use`, the in-use bit of every type byte is counted as set.
uint16_t ExFatSetChecksum(std::span<const uint8_t> set, bool as_in_use = false);

// Reads the entry sets of one directory from its 32-byte entries, given in
// order. A set may run across a cluster boundary: the reader keeps what it
// holds of a set between calls. It reads only the entries it is given,
// whatever the entries say.
class ExFatEntrySetReader {
 public:
  // Takes the directory's next entry (32 bytes). After the end-of-directory
  // entry, entries are counted and otherwise ignored.
  void Add(std::span<const uint8_t> entry);
  // The directory ends (its last cluster was given): a set still open is
  // damaged.
  void Finish();
  // What the entries given so far complete, in directory order; none when
  // nothing more is ready.
  std::optional<ExFatItem> Next();

  // The end-of-directory entry has been met.
  bool AtEnd() const { return ended_; }
  uint64_t entriesSeen() const { return index_; }

 private:
  void Start(std::span<const uint8_t> entry);
  void Complete();
  void Abandon(ExFatDamagedSet::Why why);

  std::array<uint8_t, (kExFatMaxSecondaries + 1) * kExFatEntrySize> set_{};
  size_t held_ = 0;    // entries of the open set held in set_
  size_t wanted_ = 0;  // entries the open set has in all; 0 = no set is open
  uint64_t set_index_ = 0;
  uint64_t index_ = 0;
  bool ended_ = false;
  std::vector<ExFatItem> ready_;
  size_t taken_ = 0;
};

// The root directory's records of the volume itself: the bitmap of the
// active FAT, the up-case table, the label.
struct ExFatRootRecords {
  std::optional<ExFatBitmapRecord> bitmap;
  std::optional<ExFatUpcaseRecord> upcase;
  std::optional<ExFatLabelRecord> label;

  // Keeps `item` if it is one of them. With two FATs, the bitmap whose
  // flag names `active_fat` is kept; otherwise the first met.
  void Take(const ExFatItem& item, uint8_t active_fat);
};

}  // namespace quorvane
