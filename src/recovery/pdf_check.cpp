// PDF: the header, then the file's text read as tokens: each "N G obj" is
// noted at its offset, each stream is skipped by its direct /Length and must
// be closed by "endstream" there (or, with an indirect length, is read up to
// "endstream"), and the cross-reference table is read entry by entry. What
// the table says is checked at the end, when all objects have been seen:
// every entry in use names an object found at its offset, and startxref
// points at the table. Mid-file the text between streams is judged (a
// cluster of random bytes, zeros or a letter there breaks), and streams
// compressed with FlateDecode are inflated as they come: an error breaks the
// file, and the zlib stream's Adler-32 at its end passes all of it. Other
// streams' data (pictures, fonts, unfiltered content) is not judged; nor is
// any stream that does not open as a zlib stream (an encrypted file's), after
// which the file's streams are left alone.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/format_parser.h"
#include "recovery/inflater.h"

namespace quorvane {
namespace {

constexpr std::string_view kEndStream = "endstream";

bool IsWhite(uint8_t b) { return b == 0 || b == '\t' || b == '\n' || b == '\f' || b == '\r' || b == ' '; }
bool IsDelimiter(uint8_t b) {
  return b == '(' || b == ')' || b == '<' || b == '>' || b == '[' || b == ']' || b == '{' || b == '}' ||
         b == '/' || b == '%';
}
// Bytes that plain PDF text between streams does not hold.
bool IsControl(uint8_t b) { return b < 0x20 && b != '\t' && b != '\n' && b != '\f' && b != '\r'; }

// Between streams, outside strings and comments, PDF has only numbers,
// names and these keywords; the words of a letter are none of them.
bool IsPdfWord(std::string_view token) {
  static constexpr std::string_view kKeywords[] = {"obj", "endobj", "stream", "endstream", "R", "true", "false",
                                                   "null", "xref", "trailer", "startxref", "n", "f"};
  if (token.front() == '/') return true;
  if (std::all_of(token.begin(), token.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+'; }))
    return true;
  return std::find(std::begin(kKeywords), std::end(kKeywords), token) != std::end(kKeywords);
}

bool IsInteger(std::string_view token) {
  return !token.empty() && token.size() <= 10 && std::all_of(token.begin(), token.end(), [](char c) {
           return c >= '0' && c <= '9';
         });
}

uint64_t Integer(std::string_view token) {
  uint64_t value = 0;
  for (const char c : token) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

// The inflated bytes of a cross-reference stream, kept to read its entries.
class Collected final : public InflateSink {
 public:
  bool Accept(std::span<const uint8_t> inflated) override {
    bytes.insert(bytes.end(), inflated.begin(), inflated.end());
    return bytes.size() <= (64u << 20);
  }
  std::vector<uint8_t> bytes;
};

struct XrefStream {
  bool is = false;
  std::string key;  // the last name seen in the dictionary
  std::vector<uint64_t> widths, index;
  uint64_t size = 0, predictor = 1, columns = 1;
};

struct Located {
  uint64_t offset;
  uint64_t number;
};

class PdfParser final : public ClonableParser<PdfParser> {
 public:
  explicit PdfParser(uint64_t size) : size_(size) {}

  void Read(std::span<const uint8_t> bytes, bool /*ends_file*/) override {
    text_bytes_ = 0;
    control_bytes_ = 0;
    foreign_words_ = 0;
    for (size_t i = 0; i < bytes.size() && !Failed();) {
      if (state_ == State::kStreamData) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size() - i));
        StreamBytes(bytes.subspan(i, n));
        if (Failed()) return;
        i += n;
        offset_ += n;
        left_ -= n;
        if (left_ == 0) {
          state_ = State::kStreamEnd;
          matched_ = 0;
        }
        continue;
      }
      Step(bytes[i++]);
      ++offset_;
    }
    // Text with more control bytes than a stray one in sixteen is not PDF's.
    // So is text with words that are no PDF token (a stray one is let be).
    if (text_bytes_ >= 16) {
      if (control_bytes_ * 16 > text_bytes_ || foreign_words_ > 2) return Fail();
      Held();
    }
  }

  bool EndHolds() const override {
    const bool eof_last = state_ == State::kComment && comment_ == "%%EOF";
    if ((state_ != State::kText && !eof_last) || (eof_at_ == 0 && !eof_last) || !startxref_) return false;
    const bool points_at_table = std::find(tables_.begin(), tables_.end(), *startxref_) != tables_.end();
    if (!points_at_table && !ObjectAt(*startxref_)) return false;
    return std::all_of(entries_.begin(), entries_.end(), [&](const Located& entry) {
      const auto object = ObjectAt(entry.offset);
      return object && *object == entry.number;
    });
  }

  bool EndCheckedWhole() const override { return !entries_.empty() && !xref_unread_; }
  bool CoveredLater() const override {
    return (state_ == State::kStreamData || state_ == State::kStreamSearch) && inflater_.has_value();
  }

 private:
  enum class State { kHeader, kText, kComment, kString, kHexString, kStreamEol, kStreamData, kStreamEnd, kStreamSearch };

  std::optional<uint64_t> ObjectAt(uint64_t offset) const {
    const auto found = std::lower_bound(objects_.begin(), objects_.end(), offset,
                                        [](const Located& o, uint64_t at) { return o.offset < at; });
    if (found == objects_.end() || found->offset != offset) return std::nullopt;
    return found->number;
  }

  void Step(uint8_t b) {
    switch (state_) {
      case State::kHeader:
        if (b != static_cast<uint8_t>("%PDF-"[offset_])) return Fail();
        Held();
        if (offset_ == 4) state_ = State::kComment;
        return;
      case State::kComment:
        if (b == '\r' || b == '\n') {
          if (comment_ == "%%EOF") eof_at_ = offset_;
          state_ = State::kText;
        } else if (comment_.size() < 8) {
          comment_.push_back(static_cast<char>(b));
        }
        return;
      case State::kString:
        ++text_bytes_;  // strings may hold any byte
        if (escaped_) {
          escaped_ = false;
        } else if (b == '\\') {
          escaped_ = true;
        } else if (b == '(') {
          ++string_depth_;
        } else if (b == ')' && --string_depth_ == 0) {
          state_ = State::kText;
        }
        return;
      case State::kHexString:
        ++text_bytes_;
        if (IsControl(b)) ++control_bytes_;
        if (b == '>') state_ = State::kText;
        return;
      case State::kText: return Text(b);
      case State::kStreamEol:
        // "stream" ends its line with CR LF or LF; after a lone CR the byte
        // is the stream's first.
        StreamBegins();
        if (b != '\n' && !Failed()) FirstStreamByte(b);
        return;
      case State::kStreamEnd:
        if (matched_ == 0 && (b == '\r' || b == '\n' || b == ' ') && ++end_white_ <= 3) return;
        if (b != static_cast<uint8_t>(kEndStream[matched_])) return Fail();
        Held();
        if (++matched_ == kEndStream.size()) EndStream();
        return;
      case State::kStreamSearch:
        // The keyword's own bytes may go to the inflater: a zlib stream has
        // ended before them.
        StreamBytes(std::span(&b, 1));
        if (b == static_cast<uint8_t>(kEndStream[matched_])) {
          if (++matched_ == kEndStream.size()) EndStream();
        } else {
          matched_ = b == 'e' ? 1 : 0;
        }
        return;
      case State::kStreamData: return;
    }
  }

  void FirstStreamByte(uint8_t b) {
    if (state_ != State::kStreamData) return Step(b);
    StreamBytes(std::span(&b, 1));
    if (--left_ == 0) {
      state_ = State::kStreamEnd;
      matched_ = 0;
    }
  }

  void Text(uint8_t b) {
    ++text_bytes_;
    if (IsControl(b)) ++control_bytes_;
    // One '<' opens a hex string, two a dictionary.
    if (after_angle_) {
      after_angle_ = false;
      if (b != '<') {
        state_ = State::kHexString;
        return Step(b);
      }
      return;
    }
    if (IsWhite(b) || IsDelimiter(b)) {
      EndToken(b);
      if (Failed() || state_ != State::kText) return;
      if (b == '%') {
        state_ = State::kComment;
        comment_ = "%";
      } else if (b == '(') {
        state_ = State::kString;
        string_depth_ = 1;
      } else if (b == '/') {
        token_ = "/";
        token_at_ = offset_;
      } else if (b == '<') {
        after_angle_ = true;
      }
      return;
    }
    if (token_.empty()) token_at_ = offset_;
    if (token_.size() < 32) token_.push_back(static_cast<char>(b));
  }

  void EndToken(uint8_t delimiter) {
    if (token_.empty()) return;
    const std::string token = std::move(token_);
    token_.clear();
    if (in_table_) return TableToken(token);
    if (!IsPdfWord(token)) ++foreign_words_;
    if (token == "obj" && IsInteger(previous_[0]) && IsInteger(previous_[1])) {
      objects_.push_back({previous_at_[0], Integer(previous_[0])});
      length_.reset();
      length_tokens_ = 0;
      flate_ = false;
      xref_ = XrefStream{};
    } else if (token == "stream") {
      if (delimiter == '\n') return StreamBegins();
      if (delimiter != '\r') return Fail();
      state_ = State::kStreamEol;
      return;
    } else if (token == "xref") {
      tables_.push_back(token_at_);
      in_table_ = true;
      table_count_.reset();
      table_first_.reset();
      return;
    }
    if (previous_[1] == "startxref" && IsInteger(token)) startxref_ = Integer(token);
    // "/Length N" gives the stream's length; "/Length N G R" names an object
    // that holds it, found later if at all.
    // The first filter is the one the stored bytes are in.
    if (previous_[1] == "/Filter") flate_ = token == "/FlateDecode";
    XrefStreamToken(token);
    if (token == "/Length") {
      length_tokens_ = 1;
    } else if (length_tokens_ == 1) {
      length_ = IsInteger(token) ? std::optional(Integer(token)) : std::nullopt;
      length_tokens_ = 2;
    } else if (length_tokens_ == 2) {
      length_tokens_ = IsInteger(token) ? 3 : 0;
    } else if (length_tokens_ == 3) {
      if (token == "R") length_.reset();
      length_tokens_ = 0;
    }
    previous_[0] = previous_[1];
    previous_at_[0] = previous_at_[1];
    previous_[1] = token;
    previous_at_[1] = token_at_;
  }

  // A cross-reference stream's dictionary: /Type /XRef, the field widths
  // /W, the subsections /Index, /Size, and the PNG predictor of /DecodeParms.
  void XrefStreamToken(const std::string& token) {
    if (token.front() == '/') xref_.key = token;
    if (previous_[1] == "/Type" && token == "/XRef") xref_.is = true;
    if (!IsInteger(token)) return;
    const uint64_t value = Integer(token);
    if (xref_.key == "/W" && xref_.widths.size() < 3) xref_.widths.push_back(value);
    if (xref_.key == "/Index") xref_.index.push_back(value);
    if (xref_.key == "/Size" && previous_[1] == "/Size") xref_.size = value;
    if (xref_.key == "/Predictor") xref_.predictor = value;
    if (xref_.key == "/Columns") xref_.columns = value;
  }

  // The entries of an inflated cross-reference stream: type 1 entries give
  // an object's offset. False when its layout is not one read here.
  bool ReadXrefStream() {
    const XrefStream& x = xref_;
    if (x.widths.size() != 3 || x.widths[0] > 1 || x.widths[1] > 8 || x.widths[2] > 4) return false;
    const size_t width = static_cast<size_t>(x.widths[0] + x.widths[1] + x.widths[2]);
    std::vector<uint8_t> rows = collected_.bytes;
    if (x.predictor >= 10) {
      // PNG rows of a filter byte and `columns` bytes; None, Sub and Up.
      if (x.columns != width) return false;
      std::vector<uint8_t> plain, above(width, 0);
      for (size_t at = 0; at + width + 1 <= rows.size(); at += width + 1) {
        const uint8_t filter = rows[at];
        if (filter > 2) return false;
        for (size_t i = 0; i < width; ++i) {
          uint8_t b = rows[at + 1 + i];
          if (filter == 1 && i > 0) b = static_cast<uint8_t>(b + plain[plain.size() - 1]);
          if (filter == 2) b = static_cast<uint8_t>(b + above[i]);
          plain.push_back(b);
        }
        std::copy(plain.end() - static_cast<ptrdiff_t>(width), plain.end(), above.begin());
      }
      rows = std::move(plain);
    } else if (x.predictor > 1) {
      return false;
    }
    std::vector<uint64_t> index = x.index;
    if (index.empty()) index = {0, x.size};
    if (index.size() % 2 != 0 || width == 0) return false;
    size_t at = 0;
    for (size_t sub = 0; sub < index.size(); sub += 2) {
      for (uint64_t n = 0; n < index[sub + 1]; ++n, at += width) {
        if (at + width > rows.size()) return false;
        auto field = [&](size_t from, uint64_t bytes) {
          uint64_t value = 0;
          for (uint64_t k = 0; k < bytes; ++k) value = value << 8 | rows[at + from + k];
          return value;
        };
        const uint64_t type = x.widths[0] ? field(0, x.widths[0]) : 1;
        if (type == 1) entries_.push_back({field(static_cast<size_t>(x.widths[0]), x.widths[1]), index[sub] + n});
      }
    }
    return true;
  }

  // The table: subsections of a first object number and a count, then that
  // many entries of offset, generation and n or f; "trailer" ends it.
  void TableToken(const std::string& token) {
    Held();
    if (token == "trailer") {
      if (pending_.size() != 0 || (table_count_ && *table_count_ != 0)) return Fail();
      in_table_ = false;
      previous_[1] = token;
      return;
    }
    if (!table_count_ || *table_count_ == 0) {
      if (!IsInteger(token)) return Fail();
      if (!table_first_) return table_first_ = Integer(token), void();
      table_count_ = Integer(token);
      pending_.clear();
      return;
    }
    pending_.push_back(token);
    if (pending_.size() < 3) {
      if (!IsInteger(pending_.back())) return Fail();
      return;
    }
    if (token != "n" && token != "f") return Fail();
    if (token == "n") entries_.push_back({Integer(pending_[0]), *table_first_});
    pending_.clear();
    ++*table_first_;
    if (--*table_count_ == 0) table_first_.reset();
  }

  void StreamBegins() {
    if (length_) {
      if (*length_ > size_ - offset_ - 1) return Fail();
      left_ = *length_;
      state_ = left_ ? State::kStreamData : State::kStreamEnd;
    } else {
      state_ = State::kStreamSearch;
    }
    matched_ = 0;
    end_white_ = 0;
    length_.reset();
    inflate_ = flate_ && !opaque_streams_ && Inflater::Available();
    flate_ = false;
    collecting_ = xref_.is && inflate_;
    collected_ = Collected{};
    if (xref_.is && !inflate_) xref_unread_ = true;
    zlib_head_.clear();
    inflater_.reset();
  }

  // A FlateDecode stream's bytes: its two-byte zlib header decides whether
  // it is inflated at all, then every byte goes to the inflater.
  void StreamBytes(std::span<const uint8_t> bytes) {
    if (!inflate_ || bytes.empty()) return;
    if (!inflater_) {
      while (zlib_head_.size() < 2 && !bytes.empty()) {
        zlib_head_.push_back(bytes.front());
        bytes = bytes.subspan(1);
      }
      if (zlib_head_.size() < 2) return;
      if ((zlib_head_[0] & 0x0F) != 8 || (zlib_head_[0] << 8 | zlib_head_[1]) % 31 != 0) {
        inflate_ = false;
        opaque_streams_ = true;
        return;
      }
      inflater_.emplace(Inflater::Wrapping::kZlib);
      inflater_->Take(zlib_head_, collecting_ ? &collected_ : nullptr);
    }
    const bool ended = inflater_->Ended();
    inflater_->Take(bytes, collecting_ ? &collected_ : nullptr);
    if (inflater_->Failed()) return Fail();
    if (inflater_->Ended() && !ended) Held();  // its Adler-32 held
  }

  void EndStream() {
    // A zlib stream that has not ended by endstream was cut short.
    if (inflater_ && !inflater_->Ended()) return Fail();
    if (collecting_ && (!inflater_ || !ReadXrefStream())) xref_unread_ = true;
    collecting_ = false;
    collected_ = Collected{};
    inflater_.reset();
    state_ = State::kText;
    previous_[1] = "endstream";
  }

  uint64_t size_;
  uint64_t offset_ = 0;
  State state_ = State::kHeader;
  std::string comment_;
  int string_depth_ = 0;
  bool escaped_ = false;
  bool after_angle_ = false;
  std::string token_;
  uint64_t token_at_ = 0;
  std::string previous_[2];
  uint64_t previous_at_[2] = {0, 0};
  int length_tokens_ = 0;
  bool flate_ = false;           // the object's dictionary names FlateDecode first
  bool inflate_ = false;         // this stream is being inflated
  bool opaque_streams_ = false;  // a FlateDecode stream was no zlib stream
  std::vector<uint8_t> zlib_head_;
  std::optional<Inflater> inflater_;
  XrefStream xref_;
  bool collecting_ = false;
  Collected collected_;
  bool xref_unread_ = false;  // a cross-reference stream whose entries were not read
  std::optional<uint64_t> length_;
  uint64_t left_ = 0;
  size_t matched_ = 0;
  int end_white_ = 0;

  bool in_table_ = false;
  std::optional<uint64_t> table_first_, table_count_;
  std::vector<std::string> pending_;
  std::vector<uint64_t> tables_;
  std::vector<Located> objects_;
  std::vector<Located> entries_;  // in-use table entries: offset, object number
  std::optional<uint64_t> startxref_;
  uint64_t eof_at_ = 0;

  uint64_t text_bytes_ = 0, control_bytes_ = 0, foreign_words_ = 0;
};

}  // namespace

std::unique_ptr<FormatParser> MakePdfParser(uint64_t size) { return std::make_unique<PdfParser>(size); }

}  // namespace quorvane
