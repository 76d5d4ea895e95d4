#pragma once
// The bytes of a recovered file that were written as zeros because the
// sectors holding them could not be read (a copy that keeps going past
// unreadable sectors), and how they are told.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Bytes [start, end) of the recovered file.
struct ByteRange {
  uint64_t start = 0;
  uint64_t end = 0;
  bool operator==(const ByteRange&) const = default;
};

// Adds [start, end) after the ranges before it, joined to the last one when
// it follows it directly: neighbouring bad sectors are one range.
void AddZeroFilled(std::vector<ByteRange>& ranges, uint64_t start, uint64_t end);

// "zeros at bytes 4096-4607, 81920-82431" (inclusive ends, as a person
// counts them); past `shown` ranges, " and N more".
std::string ZeroFilledText(const std::vector<ByteRange>& ranges, size_t shown = 4);

}  // namespace quorvane
