#pragma once
// Making the recovered file on the host: a new file only, never a name that
// is taken and never through a link.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "volume/host/block_device.h"

namespace quorvane {

// Creates `host_name` (UTF-8) in the current directory for writing bytes.
// Nullptr when it cannot; `name_taken` then says whether the name is taken
// (by a file, a directory or a link, dangling or not).
std::FILE* CreateNewFile(const std::string& host_name, bool& name_taken);

// Gives the file the modification and access times (seconds since 1970,
// UTC) that are known; the others stay as they are. False when the host
// refused.
bool SetNewFileTimes(std::FILE* file, std::optional<int64_t> modified,
                     std::optional<int64_t> accessed);

// The host file `file` is, when the host can name it.
std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file);

}  // namespace quorvane
