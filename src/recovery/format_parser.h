#pragma once
// The parser behind FormatCheck: one per format, fed the file's bytes one
// cluster at a time. Each Read records whether a check held in the bytes
// (judged), whether the format contradicted them (failed), and whether the
// bytes it could not check are still covered by a check to come (a chunk's
// CRC at its end).
#include <cstdint>
#include <memory>
#include <span>

#include "recovery/format_check.h"

namespace quorvane {

class FormatParser {
 public:
  virtual ~FormatParser() = default;
  virtual std::unique_ptr<FormatParser> Clone() const = 0;

  // The file's next bytes; `ends_file`: they reach the file's size.
  virtual void Read(std::span<const uint8_t> bytes, bool ends_file) = 0;
  // After the whole file was read: whether its end checks hold.
  virtual bool EndHolds() const = 0;
  // Whether the end checks cover the whole file's structure (a PDF whose
  // cross-reference table is a compressed stream leaves its objects unmatched).
  virtual bool EndCheckedWhole() const { return true; }
  // Whether the bytes read so far that no check has passed yet will be
  // passed by a later check (the CRC at a chunk's end).
  virtual bool CoveredLater() const { return false; }

  void BeginCluster() { judged_ = false; }
  bool Judged() const { return judged_; }
  bool Failed() const { return failed_; }

 protected:
  void Held() { judged_ = true; }
  void Fail() { failed_ = true; }

 private:
  bool judged_ = false;
  bool failed_ = false;
};

template <class Derived>
class ClonableParser : public FormatParser {
 public:
  std::unique_ptr<FormatParser> Clone() const override {
    return std::make_unique<Derived>(static_cast<const Derived&>(*this));
  }
};

inline uint16_t LoadBe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

inline uint32_t LoadBe32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) << 24 | static_cast<uint32_t>(bytes[offset + 1]) << 16 |
         static_cast<uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

inline uint64_t LoadBe64(std::span<const uint8_t> bytes, size_t offset) {
  return uint64_t{LoadBe32(bytes, offset)} << 32 | LoadBe32(bytes, offset + 4);
}

// `size`: the file's size, which bounds every length the format gives.
std::unique_ptr<FormatParser> MakeJpegParser(uint64_t size);
std::unique_ptr<FormatParser> MakePngParser(uint64_t size);
std::unique_ptr<FormatParser> MakeZipParser(uint64_t size);
std::unique_ptr<FormatParser> MakePdfParser(uint64_t size);
std::unique_ptr<FormatParser> MakeIsoMediaParser(uint64_t size);

}  // namespace quorvane
