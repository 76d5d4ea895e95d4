#pragma once
// Bytes from a volume as a widget shows them. On FAT they are 8.3 names,
// shown byte for byte as Latin-1 (the deleted mark 0xE5 as its character);
// on exFAT they are whole names in UTF-8. Bytes that are valid UTF-8 and
// hold a character past ASCII are shown as UTF-8: an 8.3 name almost never
// is (0xE5 would need two continuation bytes after it). Display only: the
// bytes themselves are what goes back to the engine.
#include <QString>
#include <string_view>

namespace quorvane::ui {

QString VolumeText(std::string_view bytes);

}  // namespace quorvane::ui
