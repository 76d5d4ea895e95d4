#include "recovery/output_file.h"

#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>

#include "volume/posix_block_device.h"
#endif

namespace quorvane {

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
}

bool OutputFile::Create(const std::string& host_name) {
  name_taken_ = false;
#ifdef _WIN32
  // The name is UTF-8; open it through the wide API so every character holds.
  // CREATE_NEW fails on any existing name, links included.
  const int length = MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, wide.data(), length);
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    name_taken_ = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return false;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return false;
  }
  file_ = _fdopen(fd, "wb");
  if (!file_) _close(fd);
#else
  // O_EXCL fails on any existing name, a link included, so nothing is ever
  // truncated or written through a link.
  const int fd = ::open(host_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0666);
  if (fd < 0) {
    name_taken_ = errno == EEXIST;
    return false;
  }
  file_ = ::fdopen(fd, "wb");
  if (!file_) ::close(fd);
#endif
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // we write whole blocks ourselves
  pending_.reserve(kBlockBytes);
  return true;
}

std::optional<FileIdentity> OutputFile::Identity() const {
#ifdef _WIN32
  // Volumes are read as devices or as image files that CREATE_NEW can never
  // have made; the host gives no inode to compare.
  return std::nullopt;
#else
  if (!file_) return std::nullopt;
  return IdentityOfDescriptor(::fileno(file_));
#endif
}

bool OutputFile::Flush() {
  if (!pending_.empty() && !failed_ &&
      std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size())
    failed_ = true;
  pending_.clear();
  return !failed_;
}

bool OutputFile::Append(std::span<const uint8_t> bytes) {
  if (failed_) return false;
  if (pending_.size() + bytes.size() > kBlockBytes && !Flush()) return false;
  if (bytes.size() >= kBlockBytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    return !failed_;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  return true;
}

bool OutputFile::Close() {
  if (!file_) return !failed_;
  Flush();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

std::string NumberedName(const std::string& name, int number) {
  const std::string tag = " (" + std::to_string(number) + ")";
  const size_t dot = name.find('.');
  std::string numbered = name;
  numbered.insert(dot == std::string::npos ? name.size() : dot, tag);
  return numbered;
}

}  // namespace quorvane
