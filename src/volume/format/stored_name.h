#pragma once
// A short entry's 8.3 name as a path component names it. A listed row holds
// each directory as its 8 stored name bytes, a full stop and its 3 stored
// extension bytes when it has an extension (ARCHIVE .OLD), and each file as
// name, full stop, extension (\xE5EPORT  .TXT); a person types either that
// or the short form (ARCHIVE.OLD). Walks compare the names upper-cased (the
// letters a to z only), so that a name a tool stored in lower case is found.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/format/dir_entry.h"

namespace quorvane {

// The 8 name bytes, then the 3 extension bytes.
using StoredName = std::array<uint8_t, 11>;

// The component's name: up to its first full stop the name part (1 to 8
// bytes, blank-padded), after it up to the next full stop the extension (at
// most 3 bytes); no full stop, a blank extension. None when the parts do not
// fit an 8.3 name.
std::optional<StoredName> StoredNameOfComponent(std::string_view component);

// The entry's name and extension with the letters a to z upper-cased.
StoredName UpperStoredName(const DirEntry& entry);

// The component a listed row holds for the entry: as a file (name, full
// stop, extension, always) or as a directory (the full stop and extension
// only when the extension is not blank).
std::string RowComponentOf(const DirEntry& entry, bool as_file);

// Whether a walk along the entry's row component comes back to its name:
// not when the stored bytes hold a full stop or a backslash of their own,
// which the component would be cut at.
bool RowComponentNamesEntry(const DirEntry& entry, bool as_file);

// Which entries a walk takes for a component: every component but the last
// names a directory (whatever its full stop), the last names a file.
inline bool WalkTakesAsDirectory(const DirEntry& entry) {
  return entry.IsDirectory() && !entry.IsDotEntry();
}
inline bool WalkTakesAsFile(const DirEntry& entry) {
  return !entry.IsDirectory() && entry.attr != kAttrLongName && entry.attr != kAttrVolumeLabel &&
         entry.attr != (kAttrVolumeLabel | kAttrArchive);
}

}  // namespace quorvane
