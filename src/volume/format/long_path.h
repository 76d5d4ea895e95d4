#pragma once
// A path to a deleted file given by long names, resolved to the stored names
// a recovery walks: "C:\Letters\Letter to the bank.docx" becomes the bytes a
// search row holds, "C:\LETTERS \xE5ETTER~1.DOC". Each component matches an
// entry by its long name (live or deleted, without regard to case) or by its
// 8.3 name (for a deleted entry, the first letter as the long name's
// checksum restores it, if it does, or the deleted mark as a listed row has
// it).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/format/entered_directory.h"
#include "volume/host/block_device.h"

namespace quorvane {

struct ResolvedFile {
  std::string storedPath;   // drive, then each component as a search row has it
  std::u16string longName;  // the file's long name; empty without one
  // The file's 8.3 name ("LETTER~1.DOC") with its first byte as the checksum
  // restores it; empty when it cannot.
  std::string restoredShortName;
};

// None when the volume cannot be read or a component names no entry: a
// directory (live or deleted, entered as EnteredDirectoryCluster allows) for
// every component but the last, a deleted file for the last. `rebuild`,
// when given, rebuilds deleted directories' first clusters as the search
// that listed the path did; with `fragments`, deleted directories go on in
// their continuation clusters and orphan directories are named by their
// clusters, as the search with --fragments lists them.
std::optional<ResolvedFile> ResolveLongPath(DriveSource& drives, std::u16string_view path,
                                            const DirectoryClusterRebuild* rebuild = nullptr,
                                            bool fragments = false);

}  // namespace quorvane
