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

std::optional<FileIdentity> IdentityOfNewFile(std::FILE*) {
  // Volumes are read as devices or as image files that CREATE_NEW can never
  // have made; the host gives no inode to compare.
  return std::nullopt;
}

}  // namespace quorvane
