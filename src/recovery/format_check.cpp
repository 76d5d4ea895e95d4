#include "recovery/format_check.h"

#include <algorithm>
#include <array>

#include "recovery/format_parser.h"

namespace quorvane {
namespace {

bool BeginsWith(std::span<const uint8_t> head, std::string_view magic, size_t at = 0) {
  return head.size() >= at + magic.size() &&
         std::equal(magic.begin(), magic.end(), head.begin() + static_cast<ptrdiff_t>(at),
                    [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

CheckedFormat FormatOfHead(std::span<const uint8_t> head) {
  if (BeginsWith(head, "\xFF\xD8\xFF")) return CheckedFormat::kJpeg;
  if (BeginsWith(head, "\x89PNG\r\n\x1A\n")) return CheckedFormat::kPng;
  if (BeginsWith(head, std::string_view("PK\x03\x04", 4))) return CheckedFormat::kZip;
  if (BeginsWith(head, "%PDF-")) return CheckedFormat::kPdf;
  if (BeginsWith(head, "ftyp", 4)) return CheckedFormat::kIsoMedia;
  return CheckedFormat::kNone;
}

struct Named {
  std::string_view extension;
  CheckedFormat format;
};

constexpr std::array kExtensions = {
    Named{"JPG", CheckedFormat::kJpeg},      Named{"JPEG", CheckedFormat::kJpeg},
    Named{"JPE", CheckedFormat::kJpeg},      Named{"PNG", CheckedFormat::kPng},
    Named{"ZIP", CheckedFormat::kZip},       Named{"DOCX", CheckedFormat::kZip},
    Named{"XLSX", CheckedFormat::kZip},      Named{"PPTX", CheckedFormat::kZip},
    Named{"ODT", CheckedFormat::kZip},       Named{"ODS", CheckedFormat::kZip},
    Named{"ODP", CheckedFormat::kZip},       Named{"EPUB", CheckedFormat::kZip},
    Named{"JAR", CheckedFormat::kZip},       Named{"APK", CheckedFormat::kZip},
    Named{"PDF", CheckedFormat::kPdf},       Named{"MP4", CheckedFormat::kIsoMedia},
    Named{"M4A", CheckedFormat::kIsoMedia},  Named{"M4V", CheckedFormat::kIsoMedia},
    Named{"MOV", CheckedFormat::kIsoMedia},  Named{"3GP", CheckedFormat::kIsoMedia},
};

CheckedFormat FormatOfExtension(std::string_view extension) {
  while (!extension.empty() && extension.back() == ' ') extension.remove_suffix(1);
  for (const Named& named : kExtensions)
    if (std::equal(extension.begin(), extension.end(), named.extension.begin(), named.extension.end(),
                   [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b; }))
      return named.format;
  return CheckedFormat::kNone;
}

std::unique_ptr<FormatParser> MakeParser(CheckedFormat format, uint64_t size) {
  switch (format) {
    case CheckedFormat::kJpeg: return MakeJpegParser(size);
    case CheckedFormat::kPng: return MakePngParser(size);
    case CheckedFormat::kZip: return MakeZipParser(size);
    case CheckedFormat::kPdf: return MakePdfParser(size);
    case CheckedFormat::kIsoMedia: return MakeIsoMediaParser(size);
    case CheckedFormat::kNone: break;
  }
  return nullptr;
}

}  // namespace

FormatCheck::FormatCheck(std::string_view extension, std::span<const uint8_t> head, uint64_t size)
    : size_(size) {
  format_ = FormatOfHead(head);
  if (format_ == CheckedFormat::kNone) format_ = FormatOfExtension(extension);
  parser_ = MakeParser(format_, size);
}

FormatCheck::FormatCheck(const FormatCheck& other)
    : format_(other.format_),
      parser_(other.parser_ ? other.parser_->Clone() : nullptr),
      size_(other.size_),
      fed_(other.fed_),
      failed_(other.failed_),
      blind_(other.blind_) {}

FormatCheck& FormatCheck::operator=(const FormatCheck& other) {
  if (this != &other) *this = FormatCheck(other);
  return *this;
}

FormatCheck::FormatCheck(FormatCheck&&) noexcept = default;
FormatCheck& FormatCheck::operator=(FormatCheck&&) noexcept = default;
FormatCheck::~FormatCheck() = default;

ClusterVerdict FormatCheck::Feed(std::span<const uint8_t> cluster) {
  const uint64_t left = size_ - fed_;
  const auto bytes = cluster.first(static_cast<size_t>(std::min<uint64_t>(cluster.size(), left)));
  fed_ += bytes.size();
  if (!parser_ || failed_ || bytes.empty()) return ClusterVerdict::kUnknown;
  parser_->BeginCluster();
  parser_->Read(bytes, fed_ == size_);
  if (parser_->Failed()) {
    failed_ = true;
    return ClusterVerdict::kBreaks;
  }
  // A cluster of one byte over and over (zeros, as freed space often holds)
  // may well pass, but that tells nothing about whose it is.
  const bool uniform = std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == bytes[0]; });
  if (parser_->Judged()) return uniform ? ClusterVerdict::kUnknown : ClusterVerdict::kContinues;
  if (!parser_->CoveredLater()) blind_ = true;
  return ClusterVerdict::kUnknown;
}

ClusterVerdict FormatCheck::Try(std::span<const uint8_t> cluster) const {
  FormatCheck trial(*this);
  return trial.Feed(cluster);
}

FormatOutcome FormatCheck::Complete() const {
  if (!parser_) return FormatOutcome::kUnchecked;
  if (failed_) return FormatOutcome::kFailed;
  // A file not read to its size (the volume ended) has no end to check.
  if (fed_ < size_) return FormatOutcome::kUnchecked;
  if (!parser_->EndHolds()) return FormatOutcome::kFailed;
  return blind_ || !parser_->EndCheckedWhole() ? FormatOutcome::kUnchecked : FormatOutcome::kVerified;
}

std::optional<size_t> ChooseContinuation(const FormatCheck& check,
                                         std::span<const std::span<const uint8_t>> candidate_runs,
                                         size_t cluster_size) {
  std::optional<size_t> uncontradicted;
  for (size_t i = 0; i < candidate_runs.size(); ++i) {
    FormatCheck trial(check);
    ClusterVerdict verdict = ClusterVerdict::kUnknown;
    const auto run = candidate_runs[i];
    for (size_t at = 0; at < run.size() && verdict == ClusterVerdict::kUnknown; at += cluster_size)
      verdict = trial.Feed(run.subspan(at, std::min(cluster_size, run.size() - at)));
    if (verdict == ClusterVerdict::kContinues) return i;
    if (verdict == ClusterVerdict::kUnknown && !uncontradicted) uncontradicted = i;
  }
  return uncontradicted;
}

}  // namespace quorvane
