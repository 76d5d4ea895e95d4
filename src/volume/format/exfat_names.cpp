#include "volume/format/exfat_names.h"

namespace quorvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes strict UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) into UTF-16; false at the first invalid byte.
bool DecodeUtf8(std::string_view bytes, std::u16string& out) {
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1, c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return true;
}

}  // namespace

void AppendUtf8(std::string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendCodePoint(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendCodePoint(out, kReplacement);
    } else {
      AppendCodePoint(out, unit);
    }
  }
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(out, text);
  return out;
}

std::u16string TypedComponentToUtf16(std::string_view typed) {
  std::u16string out;
  out.reserve(typed.size());
  if (DecodeUtf8(typed, out)) return out;
  out.assign(typed.size(), u'\0');
  for (size_t i = 0; i < typed.size(); ++i) out[i] = static_cast<uint8_t>(typed[i]);
  return out;
}

bool ExFatNamesEqual(std::u16string_view a, std::u16string_view b, const ExFatUpcaseTable& upcase) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upcase.Upcase(a[i]) != upcase.Upcase(b[i])) return false;
  return true;
}

bool ExFatNameMatches(std::string_view typed, std::u16string_view name, const ExFatUpcaseTable& upcase) {
  return ExFatNamesEqual(TypedComponentToUtf16(typed), name, upcase);
}

uint16_t ExFatNameHash(std::u16string_view name, const ExFatUpcaseTable& upcase) {
  uint16_t hash = 0;
  for (const char16_t unit : name) {
    const char16_t up = upcase.Upcase(unit);
    for (const uint8_t byte : {static_cast<uint8_t>(up), static_cast<uint8_t>(up >> 8)})
      hash = static_cast<uint16_t>(((hash & 1) != 0 ? 0x8000 : 0) + (hash >> 1) + byte);
  }
  return hash;
}

}  // namespace quorvane
