#pragma once
// Whether the bytes at the start of a cluster are what a file's name says
// the file holds: a JPEG begins FF D8 FF, a DOCX is a ZIP, a DOC is not, a
// text has no zero bytes. Used to choose among the clusters a file may have
// begun at.
#include <cstdint>
#include <span>
#include <string_view>

namespace quorvane {

enum class ContentVerdict {
  kMatches,      // the bytes begin as the extension's format does
  kContradicts,  // they cannot begin a file of that format
  kUnknown,      // the extension names no format judged here
};

// `extension`: the file's extension without the full stop, any case (the
// long name's where there is one). `head`: the first bytes of the cluster,
// at most the file's size.
ContentVerdict JudgeContent(std::string_view extension, std::span<const uint8_t> head);
// Whether JudgeContent judges files with `extension` at all.
bool JudgesExtension(std::string_view extension);

// JudgeContent for one extension, looked up once for the many clusters a
// file may have begun at.
class ContentJudge {
 public:
  explicit ContentJudge(std::string_view extension);
  bool Judges() const;
  ContentVerdict operator()(std::span<const uint8_t> head) const;

 private:
  uint8_t format_;
};

}  // namespace quorvane
