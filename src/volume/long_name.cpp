#include "volume/long_name.h"

#include <algorithm>

#include "volume/dir_entry.h"
#include "volume/little_endian.h"

namespace quorvane {

namespace {

// Where the 13 characters of a long-name entry lie: 5 at byte 1, 6 at byte
// 14, 2 at byte 28.
constexpr std::array<size_t, kLongNameCharsPerEntry> kCharOffsets = {1,  3,  5,  7,  9,  14, 16,
                                                                     18, 20, 22, 24, 28, 30};
constexpr int kNoName = -1;
constexpr int kWholeName = 0;

}  // namespace

uint8_t ShortNameChecksum(std::span<const uint8_t, 11> name11) {
  uint8_t sum = 0;
  for (uint8_t byte : name11) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + byte);
  return sum;
}

void LongNameCollector::AddPart(std::span<const uint8_t> entry) {
  const uint8_t ordinal = entry[0];
  const int number = ordinal & 0x3F;
  // A deleted part, a part of another kind (byte 12) or a number out of range
  // breaks the name being gathered.
  if (ordinal == kDeletedMark || entry[12] != 0 || number == 0 ||
      number > static_cast<int>(kLongNameMaxParts)) {
    next_ = kNoName;
    return;
  }
  if (ordinal & kLongNameLastPart) {
    parts_ = static_cast<size_t>(number);
    checksum_ = entry[13];
  } else if (next_ != number || entry[13] != checksum_) {
    next_ = kNoName;
    return;
  }
  const size_t base = static_cast<size_t>(number - 1) * kLongNameCharsPerEntry;
  for (size_t i = 0; i < kLongNameCharsPerEntry; ++i)
    chars_[base + i] = static_cast<char16_t>(LoadLe16(entry, kCharOffsets[i]));
  next_ = number - 1;  // kWholeName once part 1 is in
}

std::optional<std::u16string> LongNameCollector::TakeFor(std::span<const uint8_t> entry) {
  const bool whole = next_ == kWholeName;
  next_ = kNoName;
  if (!whole || ShortNameChecksum(entry.first<11>()) != checksum_) return std::nullopt;
  const auto begin = chars_.begin();
  const auto end = std::find(begin, begin + static_cast<ptrdiff_t>(parts_ * kLongNameCharsPerEntry),
                             u'\0');
  if (end == begin) return std::nullopt;
  return std::u16string(begin, end);
}

char16_t UpcaseUcs2(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : static_cast<char16_t>(c - 0x20);  // Latin-1, not ÷
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: capital and small letters in pairs, capital first,
  // with the pairing shifted by one across 0x139..0x148 and 0x179..0x17E;
  // the dotted and dotless i (0x130, 0x131) have no partner here.
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return static_cast<char16_t>(c & ~1u);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
    return (c & 1u) ? c : static_cast<char16_t>(c - 1);
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

bool NamesEqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return UpcaseUcs2(x) == UpcaseUcs2(y); });
}

std::string ShortNameText(const DirEntry& entry) {
  auto trimmed = [](std::string_view field) {
    return std::string(field.substr(0, field.find_last_not_of(' ') + 1));
  };
  std::string text = trimmed(entry.NameBytes());
  const std::string ext = trimmed(entry.ExtBytes());
  if (!ext.empty()) text.append(1, '.').append(ext);
  return text;
}

std::u16string ShortNameShownInLowerCase(const DirEntry& entry) {
  constexpr uint8_t kLowerName = 0x08, kLowerExt = 0x10;
  const uint8_t bits = entry.ntCase;
  if ((bits & (kLowerName | kLowerExt)) == 0) return {};
  std::u16string shown = WidenLatin1(ShortNameText(entry));
  const size_t dot = shown.find(u'.');
  for (size_t i = 0; i < shown.size(); ++i) {
    const bool in_ext = dot != std::u16string::npos && i > dot;
    if ((bits & (in_ext ? kLowerExt : kLowerName)) && shown[i] >= u'A' && shown[i] <= u'Z')
      shown[i] = static_cast<char16_t>(shown[i] + 0x20);
  }
  return shown;
}

std::u16string WidenLatin1(std::string_view bytes) {
  std::u16string wide(bytes.size(), u'\0');
  std::transform(bytes.begin(), bytes.end(), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return wide;
}

}  // namespace quorvane
