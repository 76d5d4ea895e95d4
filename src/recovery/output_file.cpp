#include "recovery/output_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvane {

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
}

bool OutputFile::Open(const std::string& host_name) {
#ifdef _WIN32
  // The name is UTF-8; open it through the wide API so every character holds.
  const int length = MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, host_name.c_str(), -1, wide.data(), length);
  file_ = _wfopen(wide.c_str(), L"wb");
#else
  file_ = std::fopen(host_name.c_str(), "wb");
#endif
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // we write whole blocks ourselves
  pending_.reserve(kBlockBytes);
  return true;
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

}  // namespace quorvane
