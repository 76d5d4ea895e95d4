// JPEG: markers and segment lengths, then the entropy-coded data of each
// scan. In a Huffman-coded sequential scan (SOF0/SOF1) every bit is decoded
// with the file's own tables: a code no table holds, a run past the 64th
// coefficient, a restart marker before its interval's last MCU, or an EOI
// before the frame's last MCU all break the file. Progressive and
// arithmetic-coded scans get the marker rules only: 0xFF is followed by 0x00,
// the next RST in order, or a marker that may end a scan.
#include <algorithm>
#include <array>
#include <vector>

#include "recovery/format_parser.h"

namespace quorvane {
namespace {

constexpr uint8_t kSof0 = 0xC0, kSof1 = 0xC1, kDht = 0xC4, kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA,
                  kDri = 0xDD, kTem = 0x01;

bool IsRestart(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }
// Start of frame, any coding: C0 to CF but for DHT, JPG and DAC.
bool IsFrame(uint8_t code) { return code >= 0xC0 && code <= 0xCF && code != kDht && code != 0xC8 && code != 0xCC; }

// Marker codes that carry a length and may stand between segments.
bool IsSegmentMarker(uint8_t code) {
  return (code >= 0xC0 && code <= 0xCF) || (code >= 0xDA && code <= 0xFE && code != 0xFF);
}

struct HuffmanTable {
  bool defined = false;
  std::array<int32_t, 17> max_code{};  // by code length; -1 where no code has that length
  std::array<int32_t, 17> value_offset{};
  std::array<uint8_t, 256> values{};
};

struct Component {
  uint8_t id = 0, h = 1, v = 1;
};

class JpegParser final : public ClonableParser<JpegParser> {
 public:
  explicit JpegParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool ends_file) override {
    eoi_in_this_read_ = false;
    for (size_t i = 0; i < bytes.size() && !Failed();) {
      if (state_ == State::kEntropy) {
        i += ReadEntropy(bytes.subspan(i));
      } else if (state_ == State::kSkip) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        i += n;
        offset_ += n;
        left_ -= n;
        if (left_ == 0) EndSegment();
      } else if (state_ == State::kSlack) {
        offset_ += bytes.size() - i;
        i = bytes.size();
      } else {
        Step(bytes[i], ends_file);
        ++i;
        ++offset_;
      }
    }
  }

  bool EndHolds() const override {
    return images_ > 0 && (state_ == State::kAfterEoi || state_ == State::kSlack);
  }

 private:
  enum class State {
    kSoi0, kSoi1, kMarkerFf, kMarkerCode, kLength0, kLength1, kPayload, kSkip, kEntropy,
    kEntropyFf, kAfterEoi, kNextSoi, kSlack
  };

  void Step(uint8_t b, bool ends_file) {
    switch (state_) {
      case State::kSoi0: Expect(b == 0xFF, State::kSoi1); break;
      case State::kSoi1: Expect(b == kSoi, State::kMarkerFf); break;
      case State::kMarkerFf: Expect(b == 0xFF, State::kMarkerCode); break;
      case State::kMarkerCode: Marker(b); break;
      case State::kLength0:
        length_ = static_cast<uint16_t>(b << 8);
        state_ = State::kLength1;
        break;
      case State::kLength1: {
        length_ = static_cast<uint16_t>(length_ | b);
        if (length_ < 2 || length_ - 2u > size_ - offset_ - 1) return Fail();
        Held();
        left_ = length_ - 2u;
        payload_.clear();
        // The segments read here are kept; the others (APPn, DQT, COM) skipped.
        const bool kept = marker_ == kDht || marker_ == kSos || marker_ == kDri || IsFrame(marker_);
        state_ = kept ? State::kPayload : State::kSkip;
        if (left_ == 0) EndSegment();
        break;
      }
      case State::kPayload:
        payload_.push_back(b);
        if (--left_ == 0) EndSegment();
        break;
      case State::kAfterEoi:
        if (b == 0xFF) {
          state_ = State::kNextSoi;
        } else {
          Slack(ends_file);
        }
        break;
      case State::kNextSoi:
        if (b == kSoi) {
          state_ = State::kMarkerFf;
          frame_ = false;
          Held();
        } else {
          Slack(ends_file);
        }
        break;
      case State::kEntropyFf: EntropyMarker(b); break;
      case State::kSkip:
      case State::kEntropy:
      case State::kSlack: break;
    }
  }

  void Expect(bool holds, State next) {
    if (!holds) return Fail();
    Held();
    state_ = next;
  }

  // Bytes after the last EOI are the file's only when they lie in its last
  // cluster: a camera's padding, not a cluster of something else.
  void Slack(bool ends_file) {
    if (!eoi_in_this_read_ || !ends_file) return Fail();
    state_ = State::kSlack;
  }

  void Marker(uint8_t code) {
    if (code == 0xFF) return;  // fill bytes before a marker
    if (code == kEoi) {
      if (!scanned_) return Fail();
      return EndImage();
    }
    if (code == kTem) return Expect(true, State::kMarkerFf);
    if (!IsSegmentMarker(code)) return Fail();
    Held();
    marker_ = code;
    state_ = State::kLength0;
  }

  void EndImage() {
    Held();
    ++images_;
    scanned_ = false;
    eoi_in_this_read_ = true;
    state_ = State::kAfterEoi;
  }

  void EndSegment() {
    state_ = State::kMarkerFf;
    if (marker_ == kDht) {
      ParseHuffmanTables();
    } else if (marker_ == kDri) {
      if (payload_.size() != 2) return Fail();
      restart_interval_ = LoadBe16(payload_, 0);
    } else if (marker_ == kSos) {
      ParseScan();
    } else if (IsFrame(marker_)) {
      ParseFrame();
    }
    if (!Failed()) Held();
  }

  void ParseFrame() {
    if (payload_.size() < 6) return Fail();
    const uint8_t count = payload_[5];
    if (count == 0 || count > 4 || payload_.size() != 6u + 3u * count) return Fail();
    if (payload_[0] != 8 && payload_[0] != 12 && payload_[0] != 16) return Fail();
    frame_ = true;
    huffman_sequential_ = marker_ == kSof0 || marker_ == kSof1;
    precision_ = payload_[0];
    height_ = LoadBe16(payload_, 1);
    width_ = LoadBe16(payload_, 3);
    if (width_ == 0) return Fail();
    components_.clear();
    max_h_ = max_v_ = 1;
    for (size_t c = 0; c < count; ++c) {
      Component component{payload_[6 + 3 * c], static_cast<uint8_t>(payload_[7 + 3 * c] >> 4),
                          static_cast<uint8_t>(payload_[7 + 3 * c] & 15)};
      if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4) return Fail();
      max_h_ = std::max(max_h_, component.h);
      max_v_ = std::max(max_v_, component.v);
      components_.push_back(component);
    }
  }

  void ParseHuffmanTables() {
    size_t at = 0;
    while (at < payload_.size()) {
      if (payload_.size() - at < 17) return Fail();
      const uint8_t kind = payload_[at] >> 4, slot = payload_[at] & 15;
      if (kind > 1 || slot > 3) return Fail();
      HuffmanTable& table = tables_[kind * 4 + slot];
      table = HuffmanTable{};
      size_t total = 0;
      int32_t code = 0;
      for (size_t length = 1; length <= 16; ++length) {
        const uint8_t count = payload_[at + length];
        table.max_code[length] = -1;
        if (count) {
          table.value_offset[length] = static_cast<int32_t>(total) - code;
          code += count;
          total += count;
          // Codes of all one bits are never assigned.
          if (code >= (1 << length)) return Fail();
          table.max_code[length] = code - 1;
        }
        code <<= 1;
      }
      if (total > 256 || payload_.size() - at - 17 < total) return Fail();
      std::copy_n(payload_.begin() + static_cast<ptrdiff_t>(at + 17), total, table.values.begin());
      table.defined = true;
      at += 17 + total;
    }
  }

  void ParseScan() {
    if (!frame_ || payload_.empty()) return Fail();
    const uint8_t count = payload_[0];
    if (count == 0 || count > 4 || payload_.size() != 4u + 2u * count) return Fail();
    scanned_ = true;
    state_ = State::kEntropy;
    next_restart_ = 0;
    decoding_ = huffman_sequential_ && height_ != 0 && payload_[1 + 2 * count] == 0 &&
                payload_[2 + 2 * count] == 63 && payload_[3 + 2 * count] == 0;
    block_tables_.clear();
    uint64_t mcus = 0;
    for (size_t s = 0; s < count; ++s) {
      const auto found = std::find_if(components_.begin(), components_.end(),
                                      [&](const Component& c) { return c.id == payload_[1 + 2 * s]; });
      if (found == components_.end()) return Fail();
      const uint8_t dc = payload_[2 + 2 * s] >> 4, ac = payload_[2 + 2 * s] & 15;
      if (dc > 3 || ac > 3) return Fail();
      if (!tables_[dc].defined || !tables_[4 + ac].defined) decoding_ = false;
      const int blocks = count == 1 ? 1 : found->h * found->v;
      for (int b = 0; b < blocks; ++b) block_tables_.push_back(static_cast<uint8_t>(dc << 4 | ac));
      if (count == 1) {
        const uint64_t w = (uint64_t{width_} * found->h + max_h_ - 1) / max_h_;
        const uint64_t h = (uint64_t{height_} * found->v + max_v_ - 1) / max_v_;
        mcus = ((w + 7) / 8) * ((h + 7) / 8);
      }
    }
    if (block_tables_.size() > 10) return Fail();
    if (count > 1)
      mcus = ((width_ + 8u * max_h_ - 1) / (8u * max_h_)) * ((height_ + 8u * max_v_ - 1) / (8u * max_v_));
    total_mcus_ = mcus;
    mcus_done_ = 0;
    ResetDecoder();
  }

  void ResetDecoder() {
    block_ = 0;
    coefficient_ = 0;
    code_ = 0;
    code_length_ = 0;
    extra_bits_ = 0;
    block_ends_after_bits_ = false;
    at_interval_end_ = false;
    padding_bits_ = 0;
  }

  // Entropy-coded bytes up to the next 0xFF; returns how many were taken.
  size_t ReadEntropy(std::span<const uint8_t> bytes) {
    size_t i = 0;
    for (; i < bytes.size() && !Failed(); ++i) {
      if (bytes[i] == 0xFF) {
        state_ = State::kEntropyFf;
        ++i;
        break;
      }
      if (decoding_) DecodeByte(bytes[i]);
    }
    if (decoding_ && i > 0) Held();
    offset_ += i;
    return i;
  }

  // The marker rules alone are no evidence that entropy-coded bytes are this
  // file's (another picture's pass them): only decoding marks them judged.
  void EntropyMarker(uint8_t code) {
    if (code == 0xFF) return;
    if (decoding_) Held();
    if (code == 0x00) {
      state_ = State::kEntropy;
      if (decoding_) DecodeByte(0xFF);
      return;
    }
    if (IsRestart(code)) {
      if (code - 0xD0 != next_restart_) return Fail();
      next_restart_ = (next_restart_ + 1) & 7;
      if (decoding_) {
        if (!at_interval_end_ || mcus_done_ == total_mcus_) return Fail();
        ResetDecoder();
      }
      state_ = State::kEntropy;
      return;
    }
    // Any other marker ends the scan, which must then be whole.
    if (decoding_ && !(at_interval_end_ && mcus_done_ == total_mcus_)) return Fail();
    decoding_ = false;
    state_ = State::kMarkerCode;
    Marker(code);
  }

  void DecodeByte(uint8_t byte) {
    for (int bit = 7; bit >= 0 && !Failed(); --bit) DecodeBit((byte >> bit) & 1);
  }

  void DecodeBit(int bit) {
    if (at_interval_end_) {
      // Only the one bits that pad the last byte may follow the last MCU.
      if (!bit || ++padding_bits_ > 7) Fail();
      return;
    }
    if (extra_bits_ > 0) {
      if (--extra_bits_ == 0 && block_ends_after_bits_) EndBlock();
      return;
    }
    code_ = code_ << 1 | bit;
    if (++code_length_ > 16) return Fail();
    const uint8_t tables = block_tables_[block_];
    const HuffmanTable& table = tables_[coefficient_ == 0 ? tables >> 4 : 4 + (tables & 15)];
    if (code_ > table.max_code[code_length_]) return;
    const uint8_t symbol = table.values[static_cast<size_t>(code_ + table.value_offset[code_length_])];
    code_ = 0;
    code_length_ = 0;
    const int max_bits = precision_ == 8 ? 11 : 15;
    if (coefficient_ == 0) {
      if (symbol > max_bits) return Fail();
      coefficient_ = 1;
      extra_bits_ = symbol;
      return;
    }
    const int run = symbol >> 4, bits = symbol & 15;
    if (bits == 0) {
      if (run == 0) return EndBlock();  // end of block
      // A run of sixteen zeros is always followed by a coefficient.
      if (run != 15 || coefficient_ + 16 > 63) return Fail();
      coefficient_ += 16;
      return;
    }
    if (bits > max_bits - 1 || coefficient_ + run > 63) return Fail();
    coefficient_ += run + 1;
    extra_bits_ = bits;
    block_ends_after_bits_ = coefficient_ == 64;
  }

  void EndBlock() {
    coefficient_ = 0;
    block_ends_after_bits_ = false;
    if (++block_ < block_tables_.size()) return;
    block_ = 0;
    ++mcus_done_;
    if (mcus_done_ == total_mcus_ || (restart_interval_ && mcus_done_ % restart_interval_ == 0)) {
      at_interval_end_ = true;
      padding_bits_ = 0;
    }
  }

  uint64_t size_;
  uint64_t offset_ = 0;
  State state_ = State::kSoi0;
  uint8_t marker_ = 0;
  uint16_t length_ = 0;
  uint64_t left_ = 0;
  std::vector<uint8_t> payload_;
  bool eoi_in_this_read_ = false;
  int images_ = 0;
  bool scanned_ = false;

  bool frame_ = false;
  bool huffman_sequential_ = false;
  uint8_t precision_ = 8;
  uint16_t width_ = 0, height_ = 0;
  uint8_t max_h_ = 1, max_v_ = 1;
  std::vector<Component> components_;
  std::array<HuffmanTable, 8> tables_{};
  uint16_t restart_interval_ = 0;

  bool decoding_ = false;
  int next_restart_ = 0;
  std::vector<uint8_t> block_tables_;  // per block of an MCU: DC table << 4 | AC table
  uint64_t total_mcus_ = 0, mcus_done_ = 0;
  size_t block_ = 0;
  int coefficient_ = 0;
  int32_t code_ = 0;
  int code_length_ = 0;
  int extra_bits_ = 0;
  bool block_ends_after_bits_ = false;
  bool at_interval_end_ = false;
  int padding_bits_ = 0;
};

}  // namespace

std::unique_ptr<FormatParser> MakeJpegParser(uint64_t size) { return std::make_unique<JpegParser>(size); }

}  // namespace quorvane
