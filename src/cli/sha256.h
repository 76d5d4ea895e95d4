#pragma once
// SHA-256 (FIPS 180-4), for the manifest's record of each recovered file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane::cli {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> bytes);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* block);
  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

// The digest of a host file's bytes, or none when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace quorvane::cli
