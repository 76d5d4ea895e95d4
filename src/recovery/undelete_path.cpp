#include "recovery/undelete_path.h"

#include <algorithm>

#include "volume/format/dir_entry.h"
#include "volume/format/stored_name.h"
#include "volume/path_text.h"

namespace quorvane {

SplitPathResult SplitUndeletePath(const std::string& path) {
  SplitPathResult result;
  result.carries_deleted_mark = path.find(static_cast<char>(kDeletedMark)) != std::string::npos;
  result.pieces = SplitAtBackslashes(UpperAsciiLetters(path));
  return result;
}

namespace {
template <size_t N>
void PadWithBlanks(const std::string& text, std::array<uint8_t, N>& out) {
  out.fill(' ');
  // Bounded: callers check the length, but the copy never relies on it.
  std::copy_n(text.begin(), std::min(text.size(), N), out.begin());
}
}  // namespace

PatternError MakeLookupPattern(const std::string& component, bool path_carries_mark,
                               LookupPattern& pattern) {
  const size_t dot = component.find('.');
  std::string name = component.substr(0, dot);
  std::string ext;
  if (dot != std::string::npos) {
    const size_t second_dot = component.find('.', dot + 1);
    ext = component.substr(dot + 1, second_dot == std::string::npos ? std::string::npos
                                                                    : second_dot - dot - 1);
  }
  // An empty name part (".TXT", ".", "..") cannot name a file of its own and
  // would give the output file no name.
  if (name.empty() || name.size() > 8 || ext.size() > 3) return PatternError::kBadFileName;
  pattern.output_name = component;
  if (static_cast<uint8_t>(pattern.output_name[0]) == kDeletedMark) pattern.output_name[0] = 'X';
  if (!path_carries_mark) name[0] = static_cast<char>(kDeletedMark);
  PadWithBlanks(name, pattern.name);
  PadWithBlanks(ext, pattern.ext);
  return PatternError::kNone;
}

PatternError CheckDirectoryComponent(const std::string& component) {
  if (StoredNameOfComponent(component)) return PatternError::kNone;
  return component.find('.') == std::string::npos ? PatternError::kDirNameTooLong
                                                  : PatternError::kBadFileName;
}

}  // namespace quorvane
