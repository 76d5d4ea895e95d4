// PNG: the signature, then chunks of length, type, data and the CRC-32 of
// type and data, from IHDR to IEND. The CRC passes every byte of a chunk
// once its last byte is read, which may be clusters on; so the image data
// (the zlib stream of the IDAT chunks) is also inflated as it comes, and each
// row the header's size gives must open with a filter type (0 to 4): a
// cluster of anything else soon inflates to rows that do not.
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "recovery/format_parser.h"
#include "recovery/inflater.h"
#include "volume/host/partition_table.h"

namespace quorvane {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsTypeLetter(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

// The rows of the inflated image data, by interlace pass: each a filter
// type byte and the row's pixels.
class Rows final : public InflateSink {
 public:
  // From IHDR's data; false when its values are not PNG's.
  bool Plan(std::span<const uint8_t> header) {
    const uint64_t width = LoadBe32(header, 0), height = LoadBe32(header, 4);
    const uint8_t depth = header[8], colour = header[9];
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    if (header[10] != 0 || header[11] != 0 || header[12] > 1) return false;
    int channels = 0;
    bool depth_holds = false;
    switch (colour) {
      case 0: channels = 1, depth_holds = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
      case 2: channels = 3, depth_holds = depth == 8 || depth == 16; break;
      case 3: channels = 1, depth_holds = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
      case 4: channels = 2, depth_holds = depth == 8 || depth == 16; break;
      case 6: channels = 4, depth_holds = depth == 8 || depth == 16; break;
      default: return false;
    }
    if (!depth_holds) return false;
    const uint64_t bits = uint64_t{depth} * channels;
    // Each pass's first column and row and its steps; one pass when not interlaced.
    static constexpr std::array<std::array<uint8_t, 4>, 7> kAdam7 = {
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    static constexpr std::array<uint8_t, 4> kWhole = {0, 0, 1, 1};
    passes_.clear();
    for (int p = 0; p < (header[12] ? 7 : 1); ++p) {
      const auto& [x0, y0, dx, dy] = header[12] ? kAdam7[static_cast<size_t>(p)] : kWhole;
      const uint64_t columns = width > x0 ? (width - x0 + dx - 1) / dx : 0;
      const uint64_t rows = height > y0 ? (height - y0 + dy - 1) / dy : 0;
      if (columns && rows) passes_.push_back({1 + (columns * bits + 7) / 8, rows});
    }
    return true;
  }

  bool Accept(std::span<const uint8_t> inflated) override {
    for (size_t i = 0; i < inflated.size();) {
      if (pass_ == passes_.size()) return false;  // more data than the rows
      if (at_ == 0) {
        if (inflated[i] > 4) return false;
        ++checked_;
      }
      const uint64_t n = std::min<uint64_t>(passes_[pass_].row_bytes - at_, inflated.size() - i);
      i += n;
      at_ += n;
      if (at_ == passes_[pass_].row_bytes) {
        at_ = 0;
        if (++row_ == passes_[pass_].rows) row_ = 0, ++pass_;
      }
    }
    return true;
  }

  bool Whole() const { return pass_ == passes_.size(); }
  uint64_t Checked() const { return checked_; }

 private:
  struct Pass {
    uint64_t row_bytes, rows;
  };
  std::vector<Pass> passes_;
  size_t pass_ = 0;
  uint64_t row_ = 0, at_ = 0, checked_ = 0;
};

class PngParser final : public ClonableParser<PngParser> {
 public:
  explicit PngParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool ends_file) override {
    size_t i = 0;
    while (i < bytes.size() && !Failed()) {
      if (state_ == State::kData) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        crc_ = Crc32Continue(crc_, bytes.subspan(i, n));
        if (is_data_ && inflater_) {
          const uint64_t checked = rows_.Checked();
          inflater_->Take(bytes.subspan(i, n), &rows_);
          if (inflater_->Failed()) return Fail();
          if (rows_.Checked() > checked) Held();
        }
        if (is_header_) header_.insert(header_.end(), bytes.begin() + static_cast<ptrdiff_t>(i),
                                       bytes.begin() + static_cast<ptrdiff_t>(i + n));
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
        is_header_ = type == "IHDR";
        is_data_ = type == "IDAT";
        if (is_data_ && !inflater_ && Inflater::Available()) inflater_.emplace(Inflater::Wrapping::kZlib);
        // The image data ends with the stream and its rows.
        if (is_end_ && inflater_ && (!inflater_->Ended() || !rows_.Whole())) return Fail();
        Held();
        crc_ = Crc32Continue(0, field);
        if (left_ == 0) return StartField(State::kCrc, 4);
        state_ = State::kData;
        return;
      }
      case State::kCrc:
        if (LoadBe32(field, 0) != crc_) return Fail();
        if (is_header_ && !rows_.Plan(header_)) return Fail();
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
  bool is_header_ = false;
  bool is_data_ = false;
  std::vector<uint8_t> header_;
  std::optional<Inflater> inflater_;
  Rows rows_;
  bool end_in_this_read_ = false;
};

}  // namespace

std::unique_ptr<FormatParser> MakePngParser(uint64_t size) { return std::make_unique<PngParser>(size); }

}  // namespace quorvane
