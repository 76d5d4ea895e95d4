#pragma once
// The host's name for a recovered file.
#include <string>

namespace quorvane {

// The engine's output name (bytes, Latin-1) as one plain name in the host's
// file-name encoding (UTF-8 here). Bytes the host cannot hold in a name
// become '_', so the name never leaves the output directory.
std::string HostFileName(const std::string& latin1_name);
// The same for a name already in UTF-8 (a long name): only the characters
// the host refuses in a name become '_'.
std::string HostFileNameOfUtf8(const std::string& utf8_name);

}  // namespace quorvane
