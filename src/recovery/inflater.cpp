#include "recovery/inflater.h"

#if QUORVANE_HAVE_ZLIB
#include <zlib.h>

#include <array>

namespace quorvane {

bool Inflater::Available() { return true; }

Inflater::Inflater(Wrapping wrapping) : stream_(std::make_unique<z_stream>()) {
  if (inflateInit2(stream_.get(), wrapping == Wrapping::kRaw ? -MAX_WBITS : MAX_WBITS) != Z_OK) failed_ = true;
}

Inflater::Inflater(const Inflater& other)
    : stream_(std::make_unique<z_stream>()), ended_(other.ended_), failed_(other.failed_), crc_(other.crc_) {
  if (inflateCopy(stream_.get(), other.stream_.get()) != Z_OK) failed_ = true;
}

Inflater::~Inflater() { inflateEnd(stream_.get()); }

size_t Inflater::Take(std::span<const uint8_t> bytes, InflateSink* sink) {
  if (ended_ || failed_) return 0;
  std::array<uint8_t, 16384> out;
  stream_->next_in = const_cast<Bytef*>(bytes.data());
  stream_->avail_in = static_cast<uInt>(bytes.size());
  while (stream_->avail_in > 0 && !ended_ && !failed_) {
    stream_->next_out = out.data();
    stream_->avail_out = static_cast<uInt>(out.size());
    const int status = inflate(stream_.get(), Z_NO_FLUSH);
    const size_t produced = out.size() - stream_->avail_out;
    crc_ = static_cast<uint32_t>(crc32(crc_, out.data(), static_cast<uInt>(produced)));
    if (sink && !sink->Accept(std::span(out).first(produced))) failed_ = true;
    if (status == Z_STREAM_END) {
      ended_ = true;
    } else if (status != Z_OK && !(status == Z_BUF_ERROR && produced > 0)) {
      failed_ = true;
    }
  }
  return bytes.size() - stream_->avail_in;
}

}  // namespace quorvane

#else

struct z_stream_s {};

namespace quorvane {

bool Inflater::Available() { return false; }
Inflater::Inflater(Wrapping) : failed_(true) {}
Inflater::Inflater(const Inflater&) : failed_(true) {}
Inflater::~Inflater() = default;
size_t Inflater::Take(std::span<const uint8_t>, InflateSink*) { return 0; }

}  // namespace quorvane

#endif
