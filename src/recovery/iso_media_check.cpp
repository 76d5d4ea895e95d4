// MP4, MOV and the other ISO base media files: boxes of a size and a four-
// character type, each header where the box before it ends, the boxes inside
// a container filling it exactly. A box's contents are not judged: a cluster
// wholly inside mdat (the media data, most of the file) gives kUnknown.
#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "recovery/format_parser.h"

namespace quorvane {
namespace {

// Boxes that hold only boxes.
constexpr std::array<std::string_view, 13> kContainers = {"moov", "trak", "mdia", "minf", "stbl", "dinf", "edts",
                                                          "mvex", "moof", "traf", "mfra", "sinf", "schi"};
// Boxes that may stand at the top of the file.
constexpr std::array<std::string_view, 19> kTopLevel = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pdin",
                                                        "moof", "mfra", "meta", "uuid", "styp", "sidx", "ssix",
                                                        "prft", "emsg", "pnot", "junk", "udta"};

bool IsTypeByte(uint8_t b) { return (b >= 0x20 && b <= 0x7E) || b == 0xA9; }

template <size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view type) {
  return std::find(names.begin(), names.end(), type) != names.end();
}

class IsoMediaParser final : public ClonableParser<IsoMediaParser> {
 public:
  explicit IsoMediaParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool /*ends_file*/) override {
    size_t i = 0;
    while (i < bytes.size() && !Failed()) {
      if (state_ == State::kPayload) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        i += n;
        offset_ += n;
        left_ -= n;
        if (left_ == 0) NextHeader();
        continue;
      }
      field_[field_length_++] = bytes[i++];
      ++offset_;
      if (field_length_ == field_wanted_) EndField();
    }
  }

  bool EndHolds() const override { return offset_ == size_ && state_ == State::kHeader && field_length_ == 0 && moov_; }

 private:
  enum class State { kHeader, kLargeSize, kTerminator, kPayload };

  uint64_t ParentEnd() const { return ends_.empty() ? size_ : ends_.back(); }

  void Want(State state, size_t wanted) {
    state_ = state;
    field_length_ = 0;
    field_wanted_ = wanted;
  }

  // Closes the containers that end here, then waits for the next header (or
  // the four zero bytes that may close a QuickTime container).
  void NextHeader() {
    while (!ends_.empty() && ends_.back() == offset_) ends_.pop_back();
    const uint64_t room = ParentEnd() - offset_;
    if (room == 0) return Want(State::kHeader, 8);  // the file's end
    if (room == 4 && !ends_.empty()) return Want(State::kTerminator, 4);
    if (room < 8) return Fail();
    Want(State::kHeader, 8);
  }

  void EndField() {
    const std::span<const uint8_t> f(field_.data(), field_length_);
    if (state_ == State::kTerminator) {
      if (LoadBe32(f, 0) != 0) return Fail();
      Held();
      return NextHeader();
    }
    if (state_ == State::kLargeSize) return Box(LoadBe64(f, 0), 16);
    box_start_ = offset_ - 8;
    if (offset_ > ParentEnd()) return Fail();
    if (!std::all_of(f.begin() + 4, f.end(), IsTypeByte)) return Fail();
    type_.assign(reinterpret_cast<const char*>(f.data()) + 4, 4);
    const uint32_t size = LoadBe32(f, 0);
    if (size == 1) return Want(State::kLargeSize, 8);
    Box(size == 0 ? ParentEnd() - box_start_ : size, 8);
  }

  void Box(uint64_t size, uint64_t header) {
    if (size < header || size > ParentEnd() - box_start_) return Fail();
    if (ends_.empty()) {
      if (!Among(kTopLevel, type_)) return Fail();
      if (box_start_ == 0 && type_ != "ftyp" && type_ != "moov" && type_ != "mdat" && type_ != "wide" &&
          type_ != "free" && type_ != "skip" && type_ != "pnot")
        return Fail();
    }
    Held();
    moov_ = moov_ || type_ == "moov";
    const uint64_t end = box_start_ + size;
    if (Among(kContainers, type_)) {
      ends_.push_back(end);
      return NextHeader();
    }
    left_ = end - offset_;
    if (left_ == 0) return NextHeader();
    state_ = State::kPayload;
  }

  uint64_t size_;
  uint64_t offset_ = 0;
  State state_ = State::kHeader;
  std::array<uint8_t, 8> field_{};
  size_t field_length_ = 0, field_wanted_ = 8;
  uint64_t box_start_ = 0, left_ = 0;
  std::string type_;
  std::vector<uint64_t> ends_;  // where each open container ends
  bool moov_ = false;
};

}  // namespace

std::unique_ptr<FormatParser> MakeIsoMediaParser(uint64_t size) {
  return std::make_unique<IsoMediaParser>(size);
}

}  // namespace quorvane
