#include "volume/format/stored_name.h"

#include <algorithm>

#include "volume/path_text.h"

namespace quorvane {
namespace {

uint8_t UpperAscii(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

}  // namespace

std::optional<StoredName> StoredNameOfComponent(std::string_view component) {
  const size_t dot = component.find('.');
  const std::string_view name = component.substr(0, dot);
  std::string_view ext;
  if (dot != std::string_view::npos) {
    ext = component.substr(dot + 1);
    ext = ext.substr(0, ext.find('.'));
  }
  if (name.empty() || name.size() > 8 || ext.size() > 3) return std::nullopt;
  StoredName stored;
  stored.fill(' ');
  // Indexed within the bounds checked above (GCC 12 cannot follow them
  // through std::transform and warns of an overflow).
  for (size_t i = 0; i < name.size() && i < 8; ++i)
    stored[i] = UpperAscii(static_cast<uint8_t>(name[i]));
  for (size_t i = 0; i < ext.size() && i < 3; ++i)
    stored[8 + i] = UpperAscii(static_cast<uint8_t>(ext[i]));
  return stored;
}

StoredName UpperStoredName(const DirEntry& entry) {
  StoredName stored;
  std::transform(entry.name.begin(), entry.name.end(), stored.begin(), UpperAscii);
  std::transform(entry.ext.begin(), entry.ext.end(), stored.begin() + 8, UpperAscii);
  return stored;
}

std::string RowComponentOf(const DirEntry& entry, bool as_file) {
  std::string text(entry.NameBytes());
  if (as_file || entry.ExtBytes() != "   ") text.append(1, '.').append(entry.ExtBytes());
  return text;
}

bool RowComponentNamesEntry(const DirEntry& entry, bool as_file) {
  const std::string component = RowComponentOf(entry, as_file);
  if (component.find('\\') != std::string::npos) return false;
  const auto stored = StoredNameOfComponent(component);
  return stored && *stored == UpperStoredName(entry);
}

}  // namespace quorvane
