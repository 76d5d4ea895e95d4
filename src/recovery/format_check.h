#pragma once
// Whether the clusters a deleted file's copy takes go on as the file's own
// format says they must. A fragmented file's next free cluster may belong to
// another file; for formats whose bytes show where they are wrong (JPEG, PNG,
// ZIP and its packages, PDF, MP4/MOV) the copy can test each candidate
// cluster and keep the one that continues the file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace quorvane {

enum class ClusterVerdict {
  kContinues,  // a check of the format held in these bytes
  kBreaks,     // these bytes cannot come next in this file
  kUnknown,    // nothing in these bytes could be checked (yet)
};

enum class FormatOutcome {
  kVerified,   // every cluster was checked and the file's end checks held
  kFailed,     // the format says the bytes are wrong: the copy is a guess
  kUnchecked,  // no fault found, but the format could not judge all of it
};

enum class CheckedFormat : uint8_t { kNone, kJpeg, kPng, kZip, kPdf, kIsoMedia };

class FormatParser;

// The check of one file, fed its clusters in the copy's order. It is a value:
// a copy goes on from the same point, so a candidate cluster can be tried on a
// copy (or through Try) and only the one kept is fed to the original.
class FormatCheck {
 public:
  // `extension` without the full stop, any case; `head` the first bytes of
  // the file's first cluster; `size` the file's size from its entry. The
  // format is the one `head` begins as, else the one `extension` names.
  FormatCheck(std::string_view extension, std::span<const uint8_t> head, uint64_t size);
  FormatCheck(const FormatCheck& other);
  FormatCheck& operator=(const FormatCheck& other);
  FormatCheck(FormatCheck&&) noexcept;
  FormatCheck& operator=(FormatCheck&&) noexcept;
  ~FormatCheck();

  CheckedFormat Format() const { return format_; }
  // Whether this file's format is judged at all (else every verdict is
  // kUnknown and the outcome kUnchecked).
  bool Judges() const { return parser_ != nullptr; }

  // The next cluster of the file. Bytes past the file's size (the last
  // cluster's slack) are not the file's and are not looked at. A cluster of
  // one repeated byte that the format admits gets kUnknown: it tells nothing.
  // After a kBreaks the check stays failed and says kUnknown for what follows.
  ClusterVerdict Feed(std::span<const uint8_t> cluster);
  // Feed on a copy: what `cluster` would get, leaving this check as it is.
  ClusterVerdict Try(std::span<const uint8_t> cluster) const;
  // After the last cluster: the file's end checks and what came before.
  FormatOutcome Complete() const;

  uint64_t BytesFed() const { return fed_; }

 private:
  CheckedFormat format_ = CheckedFormat::kNone;
  std::unique_ptr<FormatParser> parser_;
  uint64_t size_ = 0;
  uint64_t fed_ = 0;
  bool failed_ = false;
  bool blind_ = false;  // a cluster passed that nothing checked or will check
};

// The candidate that continues a file, among the candidates for its next
// cluster nearest first. Each candidate is the run the copy would take from
// it (the candidate cluster and the free clusters after it, `cluster_size`
// bytes each), judged at its first cluster that gives kContinues or kBreaks:
// a chunk's checksum or a box's header may lie some clusters on. Returns the
// first candidate that continues, else the first that nothing contradicted,
// else none (every candidate breaks the file).
std::optional<size_t> ChooseContinuation(const FormatCheck& check,
                                         std::span<const std::span<const uint8_t>> candidate_runs,
                                         size_t cluster_size);

}  // namespace quorvane
