#pragma once
// The recovered file in the current directory, written in large blocks.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
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

  // Creates `host_name` in the current directory, byte mode. Never replaces
  // a file and never follows a symbolic link: a name that is taken (by a
  // file, a directory or a link, dangling or not) fails with nameTaken().
  bool Create(const std::string& host_name);
  bool nameTaken() const { return name_taken_; }
  // The host file created, when the host can name it.
  std::optional<FileIdentity> Identity() const;
  // Appends bytes; they reach the file in blocks of a few MiB. False once
  // any write has failed.
  bool Append(std::span<const uint8_t> bytes);
  // Writes what is pending and closes the file: false if anything written
  // since Create failed to reach it.
  bool Close();

 private:
  bool Flush();

  static constexpr size_t kBlockBytes = 4u << 20;
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> pending_;
  bool failed_ = false;
  bool name_taken_ = false;
};

// The name a desktop gives a copy when `name` is taken: " (2)" and so on
// before the first full stop ("REPORT (2).TXT"), or at the end without one.
std::string NumberedName(const std::string& name, int number);

}  // namespace quorvane
