#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "recovery/new_file.h"

namespace quorvane {

std::FILE* CreateNewFile(const std::string& host_name, bool& name_taken) {
  // The name is UTF-8; open it through the wide API so every character holds.
  // CREATE_NEW fails on any existing name, links included.
  const int length = MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, wide.data(), length);
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    name_taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool SetNewFileTimes(std::FILE* file, std::optional<int64_t> modified,
                     std::optional<int64_t> accessed) {
  if (!modified && !accessed) return true;
  // FILETIME counts 100 ns steps from 1601.
  auto file_time = [](int64_t seconds) {
    const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME at;
    at.dwLowDateTime = static_cast<DWORD>(ticks);
    at.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return at;
  };
  std::fflush(file);
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  FILETIME written{}, read{};
  if (modified) written = file_time(*modified);
  if (accessed) read = file_time(*accessed);
  return SetFileTime(handle, nullptr, accessed ? &read : nullptr, modified ? &written : nullptr) != 0;
}

bool CopyIntoNewFile(std::FILE*, const HostFileRange&, uint64_t, bool& unsupported) {
  // Volumes are read through device handles here; the bytes pass through memory.
  unsupported = true;
  return false;
}

bool TruncateNewFile(std::FILE* file, uint64_t bytes) {
  std::fflush(file);
  return _chsize_s(_fileno(file), static_cast<__int64>(bytes)) == 0 && std::fseek(file, 0, SEEK_END) == 0;
}

std::optional<FileIdentity> IdentityOfNewFile(std::FILE*) {
  // Volumes are read as devices or as image files that CREATE_NEW can never
  // have made; the host gives no inode to compare.
  return std::nullopt;
}

}  // namespace quorvane
