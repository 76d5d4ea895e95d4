#include "recovery/content_signature.h"

#include <algorithm>
#include <array>
#include <string>

namespace quorvane {
namespace {

enum class Format : uint8_t { kJpeg, kPng, kGif, kBmp, kPdf, kZip, kOle2, kWav, kAvi, kIsoMedia, kMp3, kText, kNone };

struct Named {
  std::string_view extension;
  Format format;
};

// No extension here is longer than four characters: each packs into one
// number.
constexpr std::array kFormats = {
    Named{"JPG", Format::kJpeg},   Named{"JPEG", Format::kJpeg},  Named{"JPE", Format::kJpeg},
    Named{"PNG", Format::kPng},    Named{"GIF", Format::kGif},    Named{"BMP", Format::kBmp},
    Named{"PDF", Format::kPdf},    Named{"ZIP", Format::kZip},    Named{"DOCX", Format::kZip},
    Named{"XLSX", Format::kZip},   Named{"PPTX", Format::kZip},   Named{"ODT", Format::kZip},
    Named{"ODS", Format::kZip},    Named{"ODP", Format::kZip},    Named{"EPUB", Format::kZip},
    Named{"JAR", Format::kZip},    Named{"APK", Format::kZip},    Named{"DOC", Format::kOle2},
    Named{"XLS", Format::kOle2},   Named{"PPT", Format::kOle2},   Named{"MSG", Format::kOle2},
    Named{"WAV", Format::kWav},    Named{"AVI", Format::kAvi},    Named{"MP4", Format::kIsoMedia},
    Named{"M4A", Format::kIsoMedia}, Named{"M4V", Format::kIsoMedia}, Named{"MOV", Format::kIsoMedia},
    Named{"3GP", Format::kIsoMedia}, Named{"HEIC", Format::kIsoMedia}, Named{"MP3", Format::kMp3},
    Named{"TXT", Format::kText},   Named{"CSV", Format::kText},   Named{"LOG", Format::kText},
    Named{"INI", Format::kText},   Named{"XML", Format::kText},   Named{"HTM", Format::kText},
    Named{"HTML", Format::kText},  Named{"MD", Format::kText},    Named{"JSON", Format::kText},
    Named{"C", Format::kText},     Named{"H", Format::kText},     Named{"CPP", Format::kText},
    Named{"PY", Format::kText},    Named{"BAT", Format::kText},   Named{"SH", Format::kText},
};

// An extension of up to four characters and its length as one number, for
// a quick look-up.
constexpr uint64_t Packed(std::string_view extension) {
  uint64_t packed = extension.size();
  for (const char c : extension) packed = packed << 8 | static_cast<uint8_t>(c);
  return packed;
}

constexpr auto kPackedFormats = [] {
  std::array<uint64_t, kFormats.size()> packed{};
  for (size_t i = 0; i < kFormats.size(); ++i) packed[i] = Packed(kFormats[i].extension);
  return packed;
}();

Format FormatOf(std::string_view extension) {
  while (!extension.empty() && extension.back() == ' ') extension.remove_suffix(1);
  if (extension.empty() || extension.size() > 4) return Format::kNone;
  uint64_t key = extension.size();
  for (const char c : extension)
    key = key << 8 | static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (size_t i = 0; i < kPackedFormats.size(); ++i)
    if (kPackedFormats[i] == key) return kFormats[i].format;
  return Format::kNone;
}

bool BeginsWith(std::span<const uint8_t> head, std::string_view magic, size_t at = 0) {
  return head.size() >= at + magic.size() &&
         std::equal(magic.begin(), magic.end(), head.begin() + static_cast<ptrdiff_t>(at),
                    [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

// Text: no zero byte and no control character other than tab, line ends,
// form feed and escape; bytes past ASCII are taken as any 8-bit or UTF-8 text.
bool LooksLikeText(std::span<const uint8_t> head) {
  return std::none_of(head.begin(), head.end(), [](uint8_t b) {
    return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B;
  });
}

// An MPEG audio frame header: 11 sync bits, then a version, layer and
// bit rate that are not reserved.
bool IsMpegAudioFrame(std::span<const uint8_t> head) {
  if (head.size() < 3 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0) return false;
  return (head[1] & 0x18) != 0x08 && (head[1] & 0x06) != 0 && (head[2] & 0xF0) != 0xF0;
}

bool Matches(Format format, std::span<const uint8_t> head) {
  switch (format) {
    case Format::kJpeg: return BeginsWith(head, "\xFF\xD8\xFF");
    case Format::kPng: return BeginsWith(head, "\x89PNG\r\n\x1A\n");
    case Format::kGif: return BeginsWith(head, "GIF87a") || BeginsWith(head, "GIF89a");
    case Format::kBmp: return BeginsWith(head, "BM");
    case Format::kPdf: return BeginsWith(head, "%PDF-");
    case Format::kZip: return BeginsWith(head, std::string_view("PK\x03\x04", 4));
    case Format::kOle2: return BeginsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    case Format::kWav: return BeginsWith(head, "RIFF") && BeginsWith(head, "WAVE", 8);
    case Format::kAvi: return BeginsWith(head, "RIFF") && BeginsWith(head, "AVI ", 8);
    case Format::kIsoMedia:
      return BeginsWith(head, "ftyp", 4) || BeginsWith(head, "moov", 4) ||
             BeginsWith(head, "mdat", 4) || BeginsWith(head, "wide", 4) || BeginsWith(head, "free", 4);
    case Format::kMp3: return BeginsWith(head, "ID3") || IsMpegAudioFrame(head);
    case Format::kText: return !head.empty() && LooksLikeText(head);
    case Format::kNone: break;
  }
  return false;
}

}  // namespace

ContentJudge::ContentJudge(std::string_view extension)
    : format_(static_cast<uint8_t>(FormatOf(extension))) {}

bool ContentJudge::Judges() const { return static_cast<Format>(format_) != Format::kNone; }

ContentVerdict ContentJudge::operator()(std::span<const uint8_t> head) const {
  const auto format = static_cast<Format>(format_);
  if (format == Format::kNone) return ContentVerdict::kUnknown;
  return Matches(format, head) ? ContentVerdict::kMatches : ContentVerdict::kContradicts;
}

bool JudgesExtension(std::string_view extension) { return ContentJudge(extension).Judges(); }

ContentVerdict JudgeContent(std::string_view extension, std::span<const uint8_t> head) {
  return ContentJudge(extension)(head);
}

}  // namespace quorvane
