#pragma once
// Little-endian field decoding for on-disk records. Every multi-byte value of
// the volume is read through these helpers, never by casting a buffer.
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvane {

inline uint16_t LoadLe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t LoadLe32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline uint64_t LoadLe64(std::span<const uint8_t> bytes, size_t offset) {
  return uint64_t{LoadLe32(bytes, offset)} | uint64_t{LoadLe32(bytes, offset + 4)} << 32;
}

inline void StoreLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace quorvane
