#include "volume/format/long_name.h"

#include <algorithm>
#include <string_view>

#include "volume/format/dir_entry.h"
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

void DeletedLongNameCollector::AddPart(std::span<const uint8_t> entry) {
  // A part of a live name, a part of another kind (byte 12) or one with a
  // first cluster is no part of a deleted name.
  if (entry[0] != kDeletedMark || entry[12] != 0 || LoadLe16(entry, 26) != 0) {
    parts_.clear();
    return;
  }
  // A part with another checksum begins another name.
  if (!parts_.empty() && (entry[13] != checksum_ || parts_.size() == kLongNameMaxParts))
    parts_.clear();
  checksum_ = entry[13];
  auto& part = parts_.emplace_back();
  for (size_t i = 0; i < kLongNameCharsPerEntry; ++i)
    part[i] = static_cast<char16_t>(LoadLe16(entry, kCharOffsets[i]));
}

namespace {

// Bytes a stored short name may begin with: none of the characters a short
// name refuses, no lower-case letter, no blank, no full stop.
bool MayBeginShortName(uint8_t b) {
  static constexpr std::string_view kRefused = "\"*+,./:;<=>?[\\]|";
  if (b <= 0x20 || b == 0x7F || b == kDeletedMark || (b >= 'a' && b <= 'z')) return false;
  return kRefused.find(static_cast<char>(b)) == std::string_view::npos;
}

// The first byte of the short name made from `long_name`: its first
// character that is no blank or full stop, upper-cased; '_' for a character
// a short name refuses. None for a character past ASCII, which the short
// name holds in a code page.
std::optional<uint8_t> ImpliedFirstByte(std::u16string_view long_name) {
  const auto first = std::find_if(long_name.begin(), long_name.end(),
                                  [](char16_t c) { return c != u'.' && c != u' '; });
  if (first == long_name.end() || *first >= 0x80) return std::nullopt;
  const auto upper = static_cast<uint8_t>(UpcaseUcs2(*first));
  return MayBeginShortName(upper) ? upper : uint8_t{'_'};
}

}  // namespace

std::optional<DeletedLongNameCollector::Found> DeletedLongNameCollector::TakeFor(
    const DirEntry& entry) {
  std::vector<std::array<char16_t, kLongNameCharsPerEntry>> parts;
  parts.swap(parts_);
  if (parts.empty() || !entry.IsDeleted()) return std::nullopt;
  // The nearest part is the first: read them back to front.
  std::u16string name;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) name.append(part->begin(), part->end());
  const size_t end = name.find(u'\0');
  // Only the last part may end the name, and only padding may follow its end.
  if (end != std::u16string::npos) {
    if (end < (parts.size() - 1) * kLongNameCharsPerEntry) return std::nullopt;
    for (size_t i = end + 1; i < name.size(); ++i)
      if (name[i] != 0xFFFF) return std::nullopt;
    name.resize(end);
  }
  if (name.empty() || name.find(char16_t{0xFFFF}) != std::u16string::npos) return std::nullopt;

  std::array<uint8_t, 11> name11;
  std::copy(entry.name.begin(), entry.name.end(), name11.begin());
  std::copy(entry.ext.begin(), entry.ext.end(), name11.begin() + 8);
  auto gives_checksum = [&](uint8_t first) {
    name11[0] = first;
    return ShortNameChecksum(name11) == checksum_;
  };
  Found found{std::move(name), std::nullopt};
  // The first letter the long name gives its short name: the checksum must
  // agree, or the parts belong to an entry since replaced.
  if (const auto implied = ImpliedFirstByte(found.longName)) {
    if (!gives_checksum(*implied)) return std::nullopt;
    found.firstByte = *implied;
    return found;
  }
  // A name that begins with a character the short name holds in a code
  // page: some byte must give the checksum, and the byte is known when only
  // one does.
  std::vector<uint8_t> matching;
  for (int b = 0x80; b < 256; ++b)
    if (MayBeginShortName(static_cast<uint8_t>(b)) && gives_checksum(static_cast<uint8_t>(b)))
      matching.push_back(static_cast<uint8_t>(b));
  if (!gives_checksum('_') && matching.empty()) return std::nullopt;
  if (matching.size() == 1 && !gives_checksum('_')) found.firstByte = matching.front();
  return found;
}

std::u16string EntryNameCollector::TakeFor(const DirEntry& entry, std::span<const uint8_t> raw,
                                           std::optional<uint8_t>* first_byte) {
  if (!entry.IsDeleted()) {
    deleted_.Forget();
    return live_.TakeFor(raw).value_or(std::u16string());
  }
  live_.TakeFor(raw);
  auto found = deleted_.TakeFor(entry);
  if (!found) return {};
  if (first_byte) *first_byte = found->firstByte;
  return std::move(found->longName);
}

std::string ExtensionOfLongName(std::u16string_view long_name) {
  const size_t dot = long_name.rfind(u'.');
  std::string ext;
  if (dot == std::u16string_view::npos) return ext;
  for (char16_t c : long_name.substr(dot + 1)) ext.push_back(c < 0x80 ? static_cast<char>(c) : '_');
  return ext;
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
