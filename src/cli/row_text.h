#pragma once
// How the bytes of a listed path become text on the command line and come
// back: Latin-1 shown as UTF-8 on a terminal, hex and JSON for scripts.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::cli {

// Each byte as its Latin-1 character, written in UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);

// The reverse for a path typed or pasted from a terminal: when `text` is
// valid UTF-8 whose code points all lie at or below 0xFF, the Latin-1 bytes
// it stands for; any other input (raw bytes, other characters) unchanged.
std::string TypedPathToBytes(const std::string& text);

// UTF-8 (the host's names, typed text) as UTF-16, as the directory lookups
// take paths; a byte that starts no valid sequence stands for itself
// (Latin-1). And UTF-16 (long names) as UTF-8; a lone surrogate is written
// as its own code.
std::u16string Utf16OfUtf8(const std::string& text);
std::string Utf8OfUtf16(std::u16string_view text);
void AppendUtf8OfUtf16(std::string& out, std::u16string_view text);  // to the end of `out`

// Two lower-case hex digits per byte, and back; none for a bad hex text.
std::string HexOfBytes(const std::string& bytes);
std::optional<std::string> BytesOfHex(const std::string& hex);

// `text` (UTF-8) as the inside of a JSON string.
std::string JsonEscaped(const std::string& text);
// `text` between double quotes, as it stands (escape it first).
std::string Quoted(const std::string& text);

// One search row as a JSON object on one line, ending in '\n':
// {"path": TEXT, "path_hex": HEX, "size": N}: TEXT is `text` (the row as
// shown, UTF-8), HEX the row's bytes `path`; `size` is the row's second
// column, the decimal number the search writes.
std::string JsonRow(const std::string& path, const std::string& text, const std::string& size);

// A time kept as seconds since 1970 as the host's local time with its
// offset from UTC, to the second: "2024-03-05T14:22:10+01:00". FAT keeps
// local time, and so it is shown in the zone it was read in.
std::string LocalTimeText(int64_t seconds);
// The same as a JSON value: a string, or null for a time the entry lacks.
std::string JsonTime(const std::optional<int64_t>& seconds);

}  // namespace quorvane::cli
