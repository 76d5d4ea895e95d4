#pragma once
// A raw deflate stream inflated as its bytes come, only to learn where it
// ends and the CRC-32 of what it holds: a ZIP entry's compressed data is
// checked against the CRC its header gives. A copy goes on from the same
// point (zlib's inflateCopy), so a candidate cluster can be tried on it.
#include <cstdint>
#include <memory>
#include <span>

struct z_stream_s;

namespace quorvane {

class Inflater {
 public:
  // Whether this build can inflate (it has zlib).
  static bool Available();
  Inflater();
  Inflater(const Inflater& other);
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater();

  // Inflates from `bytes` until they are used up or the stream ends;
  // returns how many were taken.
  size_t Take(std::span<const uint8_t> bytes);
  bool Ended() const { return ended_; }
  bool Failed() const { return failed_; }
  uint32_t Crc() const { return crc_; }

 private:
  std::unique_ptr<z_stream_s> stream_;
  bool ended_ = false;
  bool failed_ = false;
  uint32_t crc_ = 0;
};

}  // namespace quorvane
