#pragma once
// The recovered file in the current directory, written in large blocks.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace quorvane {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates `host_name` in the current directory, byte mode.
  bool Open(const std::string& host_name);
  // Appends bytes; they reach the file in blocks of a few MiB. False once
  // any write has failed.
  bool Append(std::span<const uint8_t> bytes);
  // Writes what is pending and closes the file: false if anything written
  // since Open failed to reach it.
  bool Close();

 private:
  bool Flush();

  static constexpr size_t kBlockBytes = 4u << 20;
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> pending_;
  bool failed_ = false;
};

}  // namespace quorvane
