#pragma once
// Making the recovered file on the host: a new file only, never a name that
// is taken and never through a link.
#include <cstdio>
#include <optional>
#include <string>

#include "volume/host/block_device.h"

namespace quorvane {

// Creates `host_name` (UTF-8) in the current directory for writing bytes.
// Nullptr when it cannot; `name_taken` then says whether the name is taken
// (by a file, a directory or a link, dangling or not).
std::FILE* CreateNewFile(const std::string& host_name, bool& name_taken);

// The host file `file` is, when the host can name it.
std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file);

}  // namespace quorvane
