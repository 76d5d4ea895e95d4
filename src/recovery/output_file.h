#pragma once
// The recovered file in the current directory, written in large blocks.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <utility>
#include <string>
#include <vector>

#include "volume/host/block_device.h"

namespace quorvane {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Files are created in `directory` (a host path; empty: the current
  // directory).
  explicit OutputFile(std::string directory = {}) : directory_(std::move(directory)) {}

  // Creates `host_name` in the directory, byte mode. Never replaces
  // a file and never follows a symbolic link: a name that is taken (by a
  // file, a directory or a link, dangling or not) fails with nameTaken().
  bool Create(const std::string& host_name);
  bool nameTaken() const { return name_taken_; }
  // The host file created, when the host can name it.
  std::optional<FileIdentity> Identity() const;
  // Appends bytes; they reach the file in blocks of a few MiB. False once
  // any write has failed.
  bool Append(std::span<const uint8_t> bytes);
  // Appends `bytes` from the host file range after what was appended,
  // copied by the host itself. False (nothing appended) when the host
  // cannot, or reading them fails: append them as read then.
  bool AppendFromHost(const HostFileRange& from, uint64_t bytes);
  // Cuts the file back to `bytes` (when more were appended): a copy stopped
  // midway keeps only what it accounted for.
  bool TruncateTo(uint64_t bytes);

  // Times (seconds since 1970) the file is given when it is closed.
  void KeepTimes(std::optional<int64_t> modified, std::optional<int64_t> accessed) {
    modified_ = modified;
    accessed_ = accessed;
  }
  // Writes what is pending, gives the file its kept times and closes it:
  // false if anything written since Create failed to reach it.
  bool Close();
  // The host path of the file created last.
  const std::string& path() const { return path_; }
  uint64_t bytesWritten() const { return written_; }

 private:
  bool Flush();

  static constexpr size_t kBlockBytes = 4u << 20;
  // Spans of at least this many bytes are written without the block.
  static constexpr size_t kDirectBytes = 256u << 10;
  std::string directory_;
  std::string path_;
  std::optional<int64_t> modified_, accessed_;
  uint64_t written_ = 0;  // bytes handed to Append since Create
  bool host_copy_unsupported_ = false;
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> pending_;
  bool failed_ = false;
  bool name_taken_ = false;
};

// The name a desktop gives a copy when `name` is taken: " (2)" and so on
// before the first full stop ("REPORT (2).TXT"), or at the end without one.
std::string NumberedName(const std::string& name, int number);

}  // namespace quorvane
