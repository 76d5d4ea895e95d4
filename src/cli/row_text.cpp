#include "cli/row_text.h"
#include "volume/format/entry_times.h"

#include <cstdio>
#include <ctime>

namespace quorvane::cli {

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

std::string TypedPathToBytes(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      bytes.push_back(text[i]);
      continue;
    }
    // Only the two-byte forms of U+0080..U+00FF (lead 0xC2 or 0xC3) map to
    // one byte; anything else means the text is not such a path.
    if ((lead != 0xC2 && lead != 0xC3) || i + 1 == text.size()) return text;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if ((next & 0xC0) != 0x80) return text;
    bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F)));
    ++i;
  }
  return bytes;
}

std::string HexOfBytes(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

std::optional<std::string> BytesOfHex(const std::string& hex) {
  const auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = value(hex[i]), low = value(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high << 4 | low));
  }
  return bytes;
}

std::string JsonEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20) {
      static constexpr char kDigits[] = "0123456789abcdef";
      out.append("\\u00").push_back(kDigits[byte >> 4]);
      out.push_back(kDigits[byte & 0x0F]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string JsonRow(const std::string& path, const std::string& text, const std::string& size) {
  return "{\"path\": \"" + JsonEscaped(text) + "\", \"path_hex\": \"" +
         HexOfBytes(path) + "\", \"size\": " + size + "}\n";
}

std::u16string Utf16OfUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
    bool valid = length != 0 && i + length <= text.size();
    char32_t code = length == 1 ? byte : byte & (0x3F >> length);
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid) {
      out.push_back(byte);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

void AppendUtf8OfUtf16(std::string& out, std::u16string_view text) {
  // At most three bytes a UTF-16 unit (a pair of them makes four).
  const size_t start = out.size();
  out.resize(start + text.size() * 3);
  char* to = out.data() + start;
  auto put = [&](char32_t byte) { *to++ = static_cast<char>(byte); };
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code < 0x80) {  // most names are ASCII
      put(code);
      continue;
    }
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000)
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (code < 0x800) {
      put(0xC0 | (code >> 6));
      put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      put(0xE0 | (code >> 12));
      put(0x80 | ((code >> 6) & 0x3F));
      put(0x80 | (code & 0x3F));
    } else {
      put(0xF0 | (code >> 18));
      put(0x80 | ((code >> 12) & 0x3F));
      put(0x80 | ((code >> 6) & 0x3F));
      put(0x80 | (code & 0x3F));
    }
  }
  out.resize(static_cast<size_t>(to - out.data()));
}

std::string Utf8OfUtf16(std::u16string_view text) {
  std::string out;
  AppendUtf8OfUtf16(out, text);
  return out;
}

std::string LocalTimeText(int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &time) != 0) return std::to_string(seconds);
#else
  if (localtime_r(&time, &local) == nullptr) return std::to_string(seconds);
#endif
  // The offset is what the local fields, read as UTC, differ by.
  const int64_t as_utc = DaysFromCivil(local.tm_year + int64_t{1900}, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday)) * 86400 +
                         local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  const int64_t offset = as_utc - seconds;
  const int64_t offset_minutes = (offset < 0 ? -offset : offset) / 60;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', static_cast<int>(offset_minutes / 60),
                static_cast<int>(offset_minutes % 60));
  return text;
}

std::string Quoted(const std::string& text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append(1, '"').append(text).append(1, '"');
  return quoted;
}

std::string JsonTime(const std::optional<int64_t>& seconds) {
  return seconds ? Quoted(LocalTimeText(*seconds)) : std::string("null");
}

}  // namespace quorvane::cli
