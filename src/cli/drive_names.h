#pragma once
// How the names of a drive's rows pass between bytes and the text a
// terminal, a script or a person gives. FAT rows carry stored 8.3 names,
// whose bytes are shown as their Latin-1 characters and folded back from
// such text; exFAT rows carry whole names in UTF-8, shown and taken as they
// are. Text alone cannot tell the two apart ("Ã©" is the Latin-1 showing
// of the UTF-8 bytes of "é"), so the volume's family decides.
#include <string>

#include "volume/host/drive_table.h"

namespace quorvane::cli {

enum class DriveNames {
  kFatBytes,   // 8.3 bytes, shown as Latin-1
  kExFatUtf8,  // UTF-8 whole names
};

// What the volume of the drive that `path` begins with ("C:\...") keeps:
// the family its source told (UDisks2, libblkid), else read from its boot
// sector. kFatBytes when the path names no drive, names drive A: (never
// read) or a volume whose boot sector cannot be read: the command says why
// when it opens the volume itself.
DriveNames NamesOfDrivePath(DriveTable& drives, const std::string& path);

// A row's bytes as the text shown for it.
std::string RowText(const std::string& bytes, DriveNames names);

// A path typed, pasted or taken from JSON, as the bytes of the drive's
// rows: on FAT the Latin-1 bytes that text of characters up to U+00FF
// stands for (TypedPathToBytes); on exFAT the text itself, whose components
// the engine reads as UTF-8, or as Latin-1 when they are no valid UTF-8.
std::string RowBytes(const std::string& text, DriveNames names);

}  // namespace quorvane::cli
