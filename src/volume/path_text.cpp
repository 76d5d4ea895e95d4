#include "volume/path_text.h"

namespace quorvane {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

std::string UpperAsciiLetters(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::vector<std::string> SplitAtBackslashes(std::string_view path) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) pieces.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

bool HasDriveRoot(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  if (!IsLetter(static_cast<unsigned char>(path[0]))) return false;
  return path.size() == 2 || path[2] == '\\';
}

bool IsDrivePath(std::u16string_view text) {
  return text.size() >= 2 && IsLetter(text[0]) && text[1] == u':';
}

std::optional<DrivePath> ParseDrivePath(std::u16string_view text) {
  if (!IsDrivePath(text)) return std::nullopt;
  DrivePath path;
  path.drive = DriveNumber(static_cast<char>(text[0]));
  size_t pos = 2;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::u16string component(text.substr(pos, end - pos));
    pos = end + 1;
    if (component == u"..") {
      if (!path.components.empty()) path.components.pop_back();
      continue;
    }
    while (!component.empty() && (component.back() == u'.' || component.back() == u' '))
      component.pop_back();
    if (!component.empty()) path.components.push_back(std::move(component));
  }
  return path;
}

}  // namespace quorvane
