#pragma once
// exFAT names: whole UTF-16 names of up to 255 units, compared without
// regard to case through the volume's up-case table, and shown as UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

#include "volume/format/exfat_upcase_table.h"

namespace quorvane {

// UTF-16 as a name stores it, in UTF-8. A surrogate without its other half
// becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf8(std::string& out, std::u16string_view text);

// A typed path component as UTF-16: its bytes as UTF-8 when they are valid
// UTF-8, else each byte as its Latin-1 character (the bytes a widget's text
// gives, where é is 0xE9).
std::u16string TypedComponentToUtf16(std::string_view typed);

// Whether two names are the same name on the volume: equal unit by unit
// once each unit is up-cased through `upcase`.
bool ExFatNamesEqual(std::u16string_view a, std::u16string_view b, const ExFatUpcaseTable& upcase);
// Whether the typed component `typed` names the entry called `name`.
bool ExFatNameMatches(std::string_view typed, std::u16string_view name, const ExFatUpcaseTable& upcase);

// The NameHash a Stream Extension records: over the up-cased name, each
// unit's low byte then its high byte.
uint16_t ExFatNameHash(std::u16string_view name, const ExFatUpcaseTable& upcase);

}  // namespace quorvane
