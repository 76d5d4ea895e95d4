#include "recovery/output_file.h"

#include "recovery/new_file.h"

namespace quorvane {

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
}

bool OutputFile::Create(const std::string& host_name) {
  name_taken_ = false;
  written_ = 0;
  path_ = directory_.empty() ? host_name : directory_ + "/" + host_name;
  file_ = CreateNewFile(path_, name_taken_);
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // we write whole blocks ourselves
  pending_.reserve(kBlockBytes);
  return true;
}

std::optional<FileIdentity> OutputFile::Identity() const {
  if (!file_) return std::nullopt;
  return IdentityOfNewFile(file_);
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
  written_ += bytes.size();
  if (pending_.size() + bytes.size() > kBlockBytes && !Flush()) return false;
  // A run of clusters goes to the file as it is: copied into the pending
  // block first, it would pass through memory twice.
  if (bytes.size() >= kDirectBytes) {
    if (!Flush()) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    return !failed_;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  return true;
}

bool OutputFile::AppendFromHost(const HostFileRange& from, uint64_t bytes) {
  if (failed_ || host_copy_unsupported_ || !file_) return false;
  if (!Flush()) return false;
  if (!CopyIntoNewFile(file_, from, bytes, host_copy_unsupported_)) return false;
  written_ += bytes;
  return true;
}

bool OutputFile::TruncateTo(uint64_t bytes) {
  if (bytes >= written_) return true;
  const uint64_t pending = pending_.size();
  const uint64_t on_disk = written_ - pending;
  if (bytes >= on_disk) {
    pending_.resize(static_cast<size_t>(bytes - on_disk));
  } else {
    pending_.clear();
    if (!TruncateNewFile(file_, bytes)) failed_ = true;
  }
  written_ = bytes;
  return !failed_;
}

bool OutputFile::Close() {
  if (!file_) return !failed_;
  Flush();
  // Times last: any write after them would stamp the time of recovery.
  if (!failed_) SetNewFileTimes(file_, modified_, accessed_);
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
