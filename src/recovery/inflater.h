#pragma once
// A deflate stream inflated as its bytes come, to learn where it ends, the
// CRC-32 of what it holds (a ZIP entry's compressed data against the CRC its
// header gives) and what it holds (a PNG's rows, each opened by a filter
// type). A copy goes on from the same point (zlib's inflateCopy), so a
// candidate cluster can be tried on it.
#include <cstdint>
#include <memory>
#include <span>

struct z_stream_s;

namespace quorvane {

// Takes the inflated bytes as they come; false when they cannot be what the
// stream holds.
class InflateSink {
 public:
  virtual bool Accept(std::span<const uint8_t> inflated) = 0;

 protected:
  ~InflateSink() = default;
};

class Inflater {
 public:
  enum class Wrapping { kRaw, kZlib };  // ZIP's bare deflate, PNG's zlib stream with its Adler-32

  // Whether this build can inflate (it has zlib).
  static bool Available();
  explicit Inflater(Wrapping wrapping = Wrapping::kRaw);
  Inflater(const Inflater& other);
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater();

  // Inflates from `bytes` until they are used up or the stream ends;
  // returns how many were taken.
  size_t Take(std::span<const uint8_t> bytes, InflateSink* sink = nullptr);
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
