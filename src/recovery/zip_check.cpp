// ZIP and the packages built on it (DOCX, XLSX, PPTX, ODT, JAR, EPUB): local
// file headers in sequence, each header's compressed size leading to the next
// header, data descriptor or central directory; the central directory's
// entries against the local headers seen; the end-of-central-directory record
// ending the file. A stored or deflated entry's data is checked against its
// CRC-32 once its last byte is read; other methods' data is not judged.
#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "recovery/format_parser.h"
#include "recovery/inflater.h"
#include "volume/host/partition_table.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

constexpr uint32_t kLocalHeader = 0x04034B50, kCentralHeader = 0x02014B50, kEndRecord = 0x06054B50,
                   kDescriptor = 0x08074B50, kZip64EndRecord = 0x06064B50, kZip64Locator = 0x07064B50,
                   kSignatureRecord = 0x05054B50;

struct LocalEntry {
  uint64_t offset;
  uint32_t name_crc;  // CRC-32 of the name, to match the central entry's
  uint32_t crc;
  uint64_t compressed;
};

// The parts of an office document or an e-book are XML, which holds no
// control bytes but tab and line ends; a plain text part holds no NUL.
enum class TextRule : uint8_t { kNone, kXml, kText };

bool EndsWith(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - static_cast<ptrdiff_t>(ending.size()),
                    [](char e, char c) { return e == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
}

TextRule TextRuleOf(std::span<const uint8_t> name) {
  static constexpr std::string_view kXml[] = {".xml", ".rels", ".svg", ".xhtml", ".opf", ".ncx"};
  static constexpr std::string_view kText[] = {".txt", ".htm", ".html", ".css", ".json", ".csv"};
  const std::string_view text(reinterpret_cast<const char*>(name.data()), name.size());
  const auto ends = [&](std::string_view ending) { return EndsWith(text, ending); };
  if (std::any_of(std::begin(kXml), std::end(kXml), ends)) return TextRule::kXml;
  if (std::any_of(std::begin(kText), std::end(kText), ends)) return TextRule::kText;
  return TextRule::kNone;
}

class TextSink final : public InflateSink {
 public:
  explicit TextSink(TextRule rule = TextRule::kNone) : rule_(rule) {}
  bool Accept(std::span<const uint8_t> bytes) override {
    if (rule_ == TextRule::kText) return std::find(bytes.begin(), bytes.end(), 0) == bytes.end();
    return std::none_of(bytes.begin(), bytes.end(),
                        [](uint8_t b) { return b < 0x20 && b != '\t' && b != '\n' && b != '\r'; });
  }

 private:
  TextRule rule_;
};

bool KnownMethod(uint16_t method) {
  return method == 0 || method == 8 || method == 9 || method == 12 || method == 14 || method == 93 ||
         method == 95 || method == 98 || method == 99;
}

class ZipParser final : public ClonableParser<ZipParser> {
 public:
  explicit ZipParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool /*ends_file*/) override {
    size_t i = 0;
    while (i < bytes.size() && !Failed()) {
      if (state_ == State::kData) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        if (stored_) crc_ = Crc32Continue(crc_, bytes.subspan(i, n));
        if (stored_ && text_entry_ && n > 0) {
          if (!text_.Accept(bytes.subspan(i, n))) return Fail();
          Held();
        }
        if (inflater_) {
          // Inflated text is held to the text rule, but passing it proves
          // little: another file's bits decoded with this entry's codes come
          // out as this entry's letters. The CRC at the end decides.
          const size_t used = inflater_->Take(bytes.subspan(i, n), text_entry_ ? &text_ : nullptr);
          if (inflater_->Failed()) return Fail();
          if (inflater_->Ended()) {
            // Where the stream ends, the data ends: exactly at the size the
            // header gave, or (sizes in a descriptor) here.
            if (!size_known_) {
              compressed_ = data_length_ + used;
              locals_.back().compressed = compressed_;
              left_ = n = used;
            } else if (used != left_) {
              return Fail();
            }
          }
          data_length_ += used;
        }
        i += n;
        offset_ += n;
        left_ -= n;
        if (left_ == 0) EndData();
      } else if (state_ == State::kSkipRecord) {
        // A record not read here (zip64 end record, signature): skipped, not kept.
        const size_t n = std::min(wanted_, bytes.size() - i);
        wanted_ -= n;
        i += n;
        offset_ += n;
        if (wanted_ == 0) Want(State::kSignature, 4);
      } else if (state_ == State::kSeekDescriptor) {
        SeekDescriptor(bytes[i++]);
        ++offset_;
      } else {
        field_.push_back(bytes[i++]);
        ++offset_;
        if (field_.size() == wanted_) EndField();
      }
    }
  }

  bool EndHolds() const override { return state_ == State::kDone; }
  // Stored and deflated data wait for their CRC, and a header cut by the
  // cluster's end is read on in the next; other methods' data is never judged.
  bool CoveredLater() const override {
    if (state_ == State::kData) return stored_ || inflater_.has_value();
    if (state_ == State::kSeekDescriptor) return stored_;
    return true;
  }

 private:
  enum class State {
    kSignature, kLocalFixed, kLocalNames, kData, kSeekDescriptor, kDescriptorHead, kDescriptor,
    kCentralFixed, kCentralNames, kEndFixed, kEndComment, kRecordSize, kSkipRecord, kDone
  };

  void Want(State state, size_t wanted) {
    state_ = state;
    field_.clear();
    wanted_ = wanted;
    if (wanted_ == 0) EndField();
  }

  uint64_t Remaining() const { return size_ - offset_; }

  void EndField() {
    const std::span<const uint8_t> f(field_);
    switch (state_) {
      case State::kSignature: return Signature(LoadLe32(f, 0));
      case State::kLocalFixed: return LocalFixed(f);
      case State::kLocalNames: return LocalNames(f);
      case State::kDescriptorHead: return DescriptorHead(f);
      case State::kDescriptor: return Descriptor(f);
      case State::kCentralFixed: return CentralFixed(f);
      case State::kCentralNames: return CentralNames(f);
      case State::kEndFixed: return EndFixed(f);
      case State::kEndComment: Held(); state_ = State::kDone; return;
      case State::kRecordSize: {
        const uint64_t rest = f.size() == 8 ? LoadLe64(f, 0) : LoadLe16(f, 0);
        if (rest > Remaining()) return Fail();
        return Want(State::kSkipRecord, static_cast<size_t>(rest));
      }
      case State::kSkipRecord: return Want(State::kSignature, 4);
      case State::kData:
      case State::kSeekDescriptor:
      case State::kDone: break;
    }
  }

  void Signature(uint32_t signature) {
    record_offset_ = offset_ - 4;
    const bool in_central = central_start_.has_value();
    if (signature == kLocalHeader && !in_central) return Held(), Want(State::kLocalFixed, 26);
    if (!locals_.empty() && !central_start_) central_start_ = record_offset_;
    if (signature == kCentralHeader && central_end_ == 0) return Held(), Want(State::kCentralFixed, 42);
    if (central_end_ == 0) central_end_ = record_offset_;
    if (signature == kEndRecord) return Held(), Want(State::kEndFixed, 18);
    if (signature == kZip64Locator) return Held(), Want(State::kSkipRecord, 16);
    if (signature == kZip64EndRecord || signature == kSignatureRecord)
      return Held(), Want(State::kRecordSize, signature == kZip64EndRecord ? 8 : 2);
    Fail();
  }

  void LocalFixed(std::span<const uint8_t> f) {
    flags_ = LoadLe16(f, 2);
    const uint16_t method = LoadLe16(f, 4);
    if (f[0] > 63 || !KnownMethod(method)) return Fail();
    stored_ = method == 0;
    deflated_ = method == 8;
    crc_expected_ = LoadLe32(f, 10);
    compressed_ = LoadLe32(f, 14);
    const uint16_t name_length = LoadLe16(f, 22), extra_length = LoadLe16(f, 24);
    if (name_length == 0 || uint64_t{name_length} + extra_length > Remaining()) return Fail();
    name_length_ = name_length;
    Held();
    Want(State::kLocalNames, size_t{name_length} + extra_length);
  }

  // The name has no control bytes; the extra field is whole records of
  // id and length (a few zero bytes of alignment padding may close it).
  bool ExtraHolds(std::span<const uint8_t> extra, bool& zip64, uint64_t& zip64_compressed) {
    zip64 = false;
    size_t at = 0;
    while (extra.size() - at >= 4) {
      const uint16_t id = LoadLe16(extra, at), length = LoadLe16(extra, at + 2);
      if (length > extra.size() - at - 4) return false;
      if (id == 0x0001 && length >= 16) {
        zip64 = true;
        zip64_compressed = LoadLe64(extra, at + 12);
      }
      at += 4u + length;
    }
    return std::all_of(extra.begin() + static_cast<ptrdiff_t>(at), extra.end(), [](uint8_t b) { return b == 0; });
  }

  void LocalNames(std::span<const uint8_t> f) {
    const auto name = f.first(name_length_);
    if (std::any_of(name.begin(), name.end(), [](uint8_t b) { return b < 0x20; })) return Fail();
    uint64_t zip64_compressed = 0;
    if (!ExtraHolds(f.subspan(name_length_), zip64_, zip64_compressed)) return Fail();
    if (zip64_ && compressed_ == 0xFFFFFFFFu) compressed_ = zip64_compressed;
    Held();
    locals_.push_back({record_offset_, Crc32(name), crc_expected_, compressed_});
    const TextRule rule = flags_ & 1 ? TextRule::kNone : TextRuleOf(name);
    text_entry_ = rule != TextRule::kNone;
    text_ = TextSink(rule);
    crc_ = 0;
    data_length_ = 0;
    size_known_ = !((flags_ & 8) && compressed_ == 0);
    inflater_.reset();
    if (deflated_ && !(flags_ & 1) && Inflater::Available()) inflater_.emplace();
    if (!size_known_ && inflater_) {
      // The stream itself shows where it ends.
      left_ = Remaining();
      state_ = State::kData;
      return;
    }
    if (!size_known_) {
      // The sizes follow the data in a descriptor: its signature, with the
      // compressed size that matches the bytes before it, ends the data.
      window_.clear();
      state_ = State::kSeekDescriptor;
      return;
    }
    if (compressed_ > Remaining()) return Fail();
    left_ = compressed_;
    state_ = State::kData;
    if (left_ == 0) EndData();
  }

  void EndData() {
    if (inflater_) {
      if (!inflater_->Ended()) return Fail();
      crc_ = inflater_->Crc();
      inflater_.reset();
      checked_data_ = true;
    } else {
      checked_data_ = stored_ && !(flags_ & 1);
    }
    if (flags_ & 8) return Want(State::kDescriptorHead, 4);
    if (checked_data_) {
      if (crc_ != crc_expected_) return Fail();
      Held();
    }
    Want(State::kSignature, 4);
  }

  void SeekDescriptor(uint8_t b) {
    ++data_length_;
    window_.push_back(b);
    const size_t wanted = zip64_ ? 24 : 16;
    if (window_.size() > wanted) {
      // The byte leaving the window is data: a stored entry's CRC takes it.
      crc_ = Crc32Continue(crc_, std::span(window_).first(1));
      if (stored_ && text_entry_ && !text_.Accept(std::span(window_).first(1))) return Fail();
      window_.erase(window_.begin());
    }
    if (window_.size() < wanted || LoadLe32(window_, 0) != kDescriptor) return;
    const uint64_t compressed = zip64_ ? LoadLe64(window_, 8) : LoadLe32(window_, 8);
    if (compressed != data_length_ - wanted) return;
    if (stored_ && !(flags_ & 1) && LoadLe32(window_, 4) != crc_) return Fail();
    Held();
    locals_.back().crc = LoadLe32(window_, 4);
    locals_.back().compressed = compressed;
    Want(State::kSignature, 4);
  }

  // A descriptor after data of known length: its signature is optional, so
  // its first four bytes are the signature or the CRC.
  void DescriptorHead(std::span<const uint8_t> f) {
    const bool signed_descriptor = LoadLe32(f, 0) == kDescriptor;
    descriptor_crc_ = LoadLe32(f, 0);
    Want(State::kDescriptor, (signed_descriptor ? 4 : 0) + (zip64_ ? 16 : 8));
  }

  void Descriptor(std::span<const uint8_t> f) {
    const size_t at = f.size() % 8 == 4 ? 4 : 0;
    const uint32_t crc = at ? LoadLe32(f, 0) : descriptor_crc_;
    const uint64_t compressed = zip64_ ? LoadLe64(f, at) : LoadLe32(f, at);
    if (compressed != compressed_) return Fail();
    if (checked_data_ && crc != crc_) return Fail();
    locals_.back().crc = crc;
    Held();
    Want(State::kSignature, 4);
  }

  void CentralFixed(std::span<const uint8_t> f) {
    if (!KnownMethod(LoadLe16(f, 6))) return Fail();
    central_crc_ = LoadLe32(f, 12);
    central_compressed_ = LoadLe32(f, 16);
    local_offset_ = LoadLe32(f, 38);
    name_length_ = LoadLe16(f, 24);
    const size_t rest = size_t{name_length_} + LoadLe16(f, 26) + LoadLe16(f, 28);
    extra_length_ = LoadLe16(f, 26);
    if (rest > Remaining()) return Fail();
    Held();
    Want(State::kCentralNames, rest);
  }

  void CentralNames(std::span<const uint8_t> f) {
    uint64_t zip64_compressed = 0;
    bool zip64 = false;
    if (!ExtraHolds(f.subspan(name_length_, extra_length_), zip64, zip64_compressed)) return Fail();
    // The central entry names a local header seen at that offset, with the
    // same name, CRC and compressed size.
    const auto local = std::find_if(locals_.begin(), locals_.end(),
                                    [&](const LocalEntry& e) { return e.offset == local_offset_; });
    if (zip64 && local_offset_ == 0xFFFFFFFFu) {
      // The zip64 field holds the sizes first; its offset is not looked for.
      ++central_entries_;
      return Held(), Want(State::kSignature, 4);
    }
    if (local == locals_.end() || local->name_crc != Crc32(f.first(name_length_)) || local->crc != central_crc_ ||
        (central_compressed_ != 0xFFFFFFFFu && local->compressed != central_compressed_))
      return Fail();
    ++central_entries_;
    Held();
    Want(State::kSignature, 4);
  }

  void EndFixed(std::span<const uint8_t> f) {
    const uint16_t entries = LoadLe16(f, 6);
    const uint32_t central_size = LoadLe32(f, 8), central_offset = LoadLe32(f, 12);
    const uint16_t comment = LoadLe16(f, 16);
    const uint64_t start = central_start_.value_or(record_offset_);
    if (entries != 0xFFFF && entries != central_entries_) return Fail();
    if (central_offset != 0xFFFFFFFFu && central_offset != start) return Fail();
    if (central_size != 0xFFFFFFFFu && central_size != central_end_ - start) return Fail();
    // The record and its comment end the file.
    if (comment != Remaining()) return Fail();
    Held();
    Want(State::kEndComment, comment);
  }

  uint64_t size_;
  uint64_t offset_ = 0;
  State state_ = State::kSignature;
  std::vector<uint8_t> field_;
  size_t wanted_ = 4;
  uint64_t record_offset_ = 0;
  uint32_t descriptor_crc_ = 0;

  uint16_t flags_ = 0;
  bool stored_ = false;
  bool deflated_ = false;
  bool size_known_ = true;
  bool checked_data_ = false;
  std::optional<Inflater> inflater_;
  bool text_entry_ = false;
  TextSink text_;
  bool zip64_ = false;
  uint32_t crc_expected_ = 0, crc_ = 0;
  uint64_t compressed_ = 0, left_ = 0, data_length_ = 0;
  uint16_t name_length_ = 0, extra_length_ = 0;
  std::vector<uint8_t> window_;
  std::vector<LocalEntry> locals_;

  std::optional<uint64_t> central_start_;
  uint64_t central_end_ = 0;
  uint32_t central_crc_ = 0;
  uint64_t central_compressed_ = 0, local_offset_ = 0;
  uint64_t central_entries_ = 0;
};

}  // namespace

std::unique_ptr<FormatParser> MakeZipParser(uint64_t size) { return std::make_unique<ZipParser>(size); }

}  // namespace quorvane
