#include "volume/path_text.h"

namespace quorvane {

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
  const char letter = path[0];
  if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) return false;
  return path.size() == 2 || path[2] == '\\';
}

}  // namespace quorvane
