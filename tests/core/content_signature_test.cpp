// The content judge that chooses among the clusters a file may have begun
// at: each format beside the formats it must not be taken for.
#include <gtest/gtest.h>

#include <string>

#include "recovery/content_signature.h"

namespace quorvane {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(ContentSignature, EachFormatMatchesItsOwnBeginningAndNoOther) {
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
  const std::string png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
  const std::string zip("PK\x03\x04\x14\0\0\0", 8);
  const std::string ole2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0", 10);
  const std::string wav("RIFF\x24\0\0\0WAVEfmt ", 16);
  const std::string avi("RIFF\x24\0\0\0AVI LIST", 16);
  const std::string mp4("\0\0\0\x18" "ftypmp42", 12);
  const std::string mp3_frame("\xFF\xFB\x90\x64", 4);
  const std::string text = "Dear bank,\r\n\tthank you.\n";
  const std::string binary("Dear\0bank", 9);
  const struct { const char* ext; const std::string& head; ContentVerdict verdict; } cases[] = {
      {"JPG", jpeg, ContentVerdict::kMatches},      {"jpeg", jpeg, ContentVerdict::kMatches},
      {"PNG", png, ContentVerdict::kMatches},       {"JPG", png, ContentVerdict::kContradicts},
      {"GIF", "GIF89a\x01\0", ContentVerdict::kMatches}, {"GIF", "GIF90a", ContentVerdict::kContradicts},
      {"BMP", "BM\x36\0", ContentVerdict::kMatches}, {"PDF", "%PDF-1.7\n", ContentVerdict::kMatches},
      {"docx", zip, ContentVerdict::kMatches},      {"DOCX", ole2, ContentVerdict::kContradicts},
      {"DOC", ole2, ContentVerdict::kMatches},      {"DOC", zip, ContentVerdict::kContradicts},
      {"XLS", ole2, ContentVerdict::kMatches},      {"ODT", zip, ContentVerdict::kMatches},
      {"WAV", wav, ContentVerdict::kMatches},       {"WAV", avi, ContentVerdict::kContradicts},
      {"AVI", avi, ContentVerdict::kMatches},       {"MP4", mp4, ContentVerdict::kMatches},
      {"MOV", mp4, ContentVerdict::kMatches},       {"MP4", jpeg, ContentVerdict::kContradicts},
      {"MP3", "ID3\x04\0", ContentVerdict::kMatches}, {"MP3", mp3_frame, ContentVerdict::kMatches},
      {"MP3", text, ContentVerdict::kContradicts},  {"TXT", text, ContentVerdict::kMatches},
      {"TXT", binary, ContentVerdict::kContradicts}, {"TXT", "", ContentVerdict::kContradicts},
      {"C  ", text, ContentVerdict::kMatches},       // a stored 8.3 extension, blank-padded
      {"TXT", "Gr\xFC\xDF" "e, caf\xC3\xA9", ContentVerdict::kMatches},  // Latin-1 and UTF-8
      {"XYZ", binary, ContentVerdict::kUnknown},    {"", text, ContentVerdict::kUnknown},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JudgeContent(c.ext, Bytes(c.head)), c.verdict) << c.ext << " " << c.head.size();
}

}  // namespace
}  // namespace quorvane
