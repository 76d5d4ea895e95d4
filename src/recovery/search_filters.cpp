#include "recovery/search_filters.h"

#include <algorithm>

namespace quorvane {
namespace {

char UpperLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Text compared as the C strings it would be: up to the first zero byte.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// The filter occurs in `text`, or the filter without its first character
// occurs in `text` without its first character.
bool OccursAllowingLostFirst(std::string_view filter, std::string_view text) {
  text = UpToZero(text);
  if (text.find(filter) != std::string_view::npos) return true;
  if (filter.empty() || text.empty()) return false;  // the empty filter matched above
  return text.substr(1).find(filter.substr(1)) != std::string_view::npos;
}

}  // namespace

void UppercaseLetters(FilterBuffer& buffer) {
  for (char& c : buffer) {
    if (c == '\0') break;
    c = UpperLetter(c);
  }
}

bool NameFilterPasses(FilterBuffer& filter, std::string_view name12) {
  UppercaseLetters(filter);
  return OccursAllowingLostFirst(FilterText(filter), name12);
}

bool ExtFilterPasses(FilterBuffer& filter, std::string_view ext3) {
  filter[3] = '\0';
  UppercaseLetters(filter);
  return FilterText(filter) == ext3;
}

bool DeletedDirFilterPasses(FilterBuffer& filter, std::string_view row) {
  UppercaseLetters(filter);
  return OccursAllowingLostFirst(FilterText(filter), row);
}

}  // namespace quorvane
