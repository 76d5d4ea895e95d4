#pragma once
// Volumes as a system of the Windows NT family leaves them after a delete:
// the high word of each deleted entry's first cluster cleared, the low word
// kept.
#include <string>

namespace quorvane::testing {

// Clears the high word of every deleted short entry in the root directory
// of the FAT32 image at `path` and in the live directories below it.
// Returns how many entries it changed.
int ClearHighWordsOfDeleted(const std::string& path);

}  // namespace quorvane::testing
