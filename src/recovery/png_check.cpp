// PNG: the signature, then chunks of length, type, data and the CRC-32 of
// type and data, from IHDR to IEND. The CRC passes every byte of a chunk
// once its last byte is read, so a cluster inside a long IDAT is judged
// only at the cluster that holds the chunk's end.
#include <algorithm>
#include <array>
#include <string_view>

#include "recovery/format_parser.h"
#include "volume/host/partition_table.h"

namespace quorvane {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsTypeLetter(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

class PngParser final : public ClonableParser<PngParser> {
 public:
  explicit PngParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool ends_file) override {
    size_t i = 0;
    while (i < bytes.size() && !Failed()) {
      if (state_ == State::kData) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        crc_ = Crc32Continue(crc_, bytes.subspan(i, n));
        i += n;
        offset_ += n;
        left_ -= n;
        if (left_ == 0) StartField(State::kCrc, 4);
        continue;
      }
      if (state_ == State::kAfterEnd) {
        // Bytes after IEND are the file's only inside its last cluster.
        if (!end_in_this_read_ || !ends_file) return Fail();
        offset_ += bytes.size() - i;
        return;
      }
      field_[field_length_++] = bytes[i++];
      ++offset_;
      if (field_length_ == field_wanted_) EndField();
    }
    end_in_this_read_ = false;
  }

  bool EndHolds() const override { return state_ == State::kAfterEnd; }
  bool CoveredLater() const override { return true; }

 private:
  enum class State { kSignature, kLength, kType, kData, kCrc, kAfterEnd };

  void StartField(State state, size_t wanted) {
    state_ = state;
    field_length_ = 0;
    field_wanted_ = wanted;
  }

  void EndField() {
    const std::span<const uint8_t> field(field_.data(), field_length_);
    switch (state_) {
      case State::kSignature:
        if (!std::equal(kSignature.begin(), kSignature.end(), field.begin())) return Fail();
        Held();
        return StartField(State::kLength, 4);
      case State::kLength:
        left_ = LoadBe32(field, 0);
        if (left_ > 0x7FFFFFFFu || left_ + 8 > size_ - offset_) return Fail();
        return StartField(State::kType, 4);
      case State::kType: {
        if (!std::all_of(field.begin(), field.end(), IsTypeLetter)) return Fail();
        const std::string_view type(reinterpret_cast<const char*>(field.data()), 4);
        // IHDR comes first with its 13 bytes; IEND is empty and last.
        if ((chunks_ == 0) != (type == "IHDR") || (type == "IHDR" && left_ != 13)) return Fail();
        if (type == "IEND" && left_ != 0) return Fail();
        is_end_ = type == "IEND";
        Held();
        crc_ = Crc32Continue(0, field);
        if (left_ == 0) return StartField(State::kCrc, 4);
        state_ = State::kData;
        return;
      }
      case State::kCrc:
        if (LoadBe32(field, 0) != crc_) return Fail();
        Held();
        ++chunks_;
        if (is_end_) {
          end_in_this_read_ = true;
          state_ = State::kAfterEnd;
          return;
        }
        return StartField(State::kLength, 4);
      case State::kData:
      case State::kAfterEnd: break;
    }
  }

  uint64_t size_;
  uint64_t offset_ = 0;
  State state_ = State::kSignature;
  std::array<uint8_t, 8> field_{};
  size_t field_length_ = 0, field_wanted_ = 8;
  uint64_t left_ = 0;
  uint32_t crc_ = 0;
  uint64_t chunks_ = 0;
  bool is_end_ = false;
  bool end_in_this_read_ = false;
};

}  // namespace

std::unique_ptr<FormatParser> MakePngParser(uint64_t size) { return std::make_unique<PngParser>(size); }

}  // namespace quorvane
