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

// Appends `bytes` from `from` to `file` inside the host, sharing the
// image's blocks where its file system can (no copy at all), after what
// stdio has written. False, with the file as it was,
// when the host cannot or a read fails: the caller then reads the bytes
// itself, and learns why. `unsupported` says the host cannot do it at all.
bool CopyIntoNewFile(std::FILE* file, const HostFileRange& from, uint64_t bytes, bool& unsupported);

// Cuts `file` back to `bytes`; stdio goes on writing at its new end.
bool TruncateNewFile(std::FILE* file, uint64_t bytes);

// The host file `file` is, when the host can name it.
std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file);

}  // namespace quorvane
