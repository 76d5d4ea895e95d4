#pragma once
// The search's filter tests. Each takes its filter buffer by reference because
// applying a filter uppercases the buffer in place (and the extension filter
// also cuts it to three characters), as the results page may observe.
#include <string>
#include <string_view>

#include "recovery/search_settings.h"

namespace quorvane {

// Upper-cases the letters a to z; every other byte, 0xE5 among them, stays.
void UppercaseLetters(FilterBuffer& buffer);

// `name12` is the 8 stored name bytes, '.', and the 3 stored extension bytes.
// Passes when the filter occurs in it, or the filter without its first
// character occurs in it without its first character: a filter that begins a
// deleted file's name still matches although its first byte is the deleted
// mark.
bool NameFilterPasses(FilterBuffer& filter, std::string_view name12);

// Passes only when the filter, cut to three characters, equals the 3 stored
// extension bytes, trailing blanks included.
bool ExtFilterPasses(FilterBuffer& filter, std::string_view ext3);

// Like the name filter, over the whole row text (drive, directories, file).
bool DeletedDirFilterPasses(FilterBuffer& filter, std::string_view row);

}  // namespace quorvane
