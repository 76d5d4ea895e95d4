#pragma once
// VFAT long names: the 0x0F entries that stand before a short entry and
// carry its long name in UCS-2, thirteen characters each, the last part
// first. Each part repeats the checksum of the short entry's 11 name bytes,
// so a long name left behind by a short entry that was replaced is not
// taken for the new entry's name.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "volume/format/dir_entry.h"

namespace quorvane {

inline constexpr uint8_t kLongNameLastPart = 0x40;  // ordinal flag of the first entry stored
inline constexpr size_t kLongNameCharsPerEntry = 13;
inline constexpr size_t kLongNameMaxParts = 20;     // 255 characters

// The checksum over the 11 stored name bytes of a short entry, as the long
// name's entries record it (byte 13).
uint8_t ShortNameChecksum(std::span<const uint8_t, 11> name11);

// Gathers the long name that precedes a short entry. Feed it every entry of
// a directory in order, across cluster boundaries; it forgets a long name
// that is broken (a part missing, out of order or with another checksum).
class LongNameCollector {
 public:
  // Takes one 32-byte entry that is not a short entry (attribute 0x0F).
  void AddPart(std::span<const uint8_t> entry);
  // The long name belonging to the short entry `entry`, if the parts seen
  // since the last short entry make one whole name with its checksum.
  // Forgets the parts either way.
  std::optional<std::u16string> TakeFor(std::span<const uint8_t> entry);

 private:
  std::array<char16_t, kLongNameMaxParts * kLongNameCharsPerEntry> chars_{};
  size_t parts_ = 0;  // number of parts the name has
  int next_ = -1;     // number of the part to come; 0 = the name is whole, -1 = no name
  uint8_t checksum_ = 0;
};

// Gathers the long name left before a deleted short entry. A delete marks
// the first byte of every part 0xE5, so the parts lose their numbers and the
// short name its first letter; the characters and the checksum stay. The
// parts that stand right before the short entry and carry one checksum are
// its name, the nearest part first. The checksum then also tells the short
// name's lost first byte, which must agree with the long name's first
// letter. Feed it every entry of a directory in order.
class DeletedLongNameCollector {
 public:
  // Takes one 32-byte entry with attribute 0x0F, deleted or not.
  void AddPart(std::span<const uint8_t> entry);
  // Forgets the parts (a short entry that takes none of them).
  void Forget() { parts_.clear(); }

  struct Found {
    std::u16string longName;
    // The short name's first byte as stored before the delete; none when
    // the long name begins past ASCII and the checksum leaves more than one.
    std::optional<uint8_t> firstByte;
  };
  // The long name of the deleted short entry `entry`, if the parts seen
  // since the last short entry make one whose checksum the short name gives
  // with the first byte the long name implies. Forgets the parts either way.
  std::optional<Found> TakeFor(const DirEntry& entry);

 private:
  std::vector<std::array<char16_t, kLongNameCharsPerEntry>> parts_;  // in entry order
  uint8_t checksum_ = 0;
};

// The long names of a directory's short entries, live and deleted alike.
class EntryNameCollector {
 public:
  void AddPart(std::span<const uint8_t> raw) {
    live_.AddPart(raw);
    deleted_.AddPart(raw);
  }
  // The long name of the short entry `entry` (`raw` its bytes); empty
  // without one. For a deleted entry, `first_byte` receives the short
  // name's first byte as restored, if it is.
  std::u16string TakeFor(const DirEntry& entry, std::span<const uint8_t> raw,
                         std::optional<uint8_t>* first_byte = nullptr);

 private:
  LongNameCollector live_;
  DeletedLongNameCollector deleted_;
};

// The extension of a long name (ASCII; other characters as '_'); empty
// without a full stop.
std::string ExtensionOfLongName(std::u16string_view long_name);

// Upper case of a UCS-2 character for comparing names: the Latin letters of
// ASCII, Latin-1 and Latin Extended-A, Greek and Cyrillic. Other characters
// stay as they are.
char16_t UpcaseUcs2(char16_t c);
// Whether two names are equal without regard to case.
bool NamesEqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// A short entry's name as a path component: the 8 name bytes without their
// trailing blanks, then a full stop and the extension if it is not blank
// ("MYDOCU~1", "OLD.D"). Bytes are kept as stored.
std::string ShortNameText(const DirEntry& entry);
// The short name as systems that keep case bits show it: the name part and
// the extension in lower case where the case byte sets 0x08 and 0x10 for them
// (ASCII letters only); empty when neither bit is set.
std::u16string ShortNameShownInLowerCase(const DirEntry& entry);
// Bytes widened one for one into UCS-2 (the Latin-1 reading).
std::u16string WidenLatin1(std::string_view bytes);

}  // namespace quorvane
