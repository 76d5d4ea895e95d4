#pragma once
// Scoped temporary directories and working directories, and file helpers.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quorvane::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // path() / name, as a string.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Makes `dir` the process's current directory and restores the previous one
// when it goes.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir);
  ~ScopedCurrentDir();
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// The whole file; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// The block device in /dev whose file system holds `path` (found without
// opening it), or empty when there is none, as in some containers.
std::string BlockDeviceHolding(const std::filesystem::path& path);
// Deterministic pseudo-random bytes (the same seed gives the same bytes).
std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed = 1);

}  // namespace quorvane::testing
