#include "recovery/zero_filled_ranges.h"

namespace quorvane {

void AddZeroFilled(std::vector<ByteRange>& ranges, uint64_t start, uint64_t end) {
  if (start >= end) return;
  if (!ranges.empty() && ranges.back().end == start) {
    ranges.back().end = end;
    return;
  }
  ranges.push_back({start, end});
}

std::string ZeroFilledText(const std::vector<ByteRange>& ranges, size_t shown) {
  std::string text = "zeros at bytes ";
  for (size_t k = 0; k < ranges.size() && k < shown; ++k) {
    if (k > 0) text += ", ";
    text += std::to_string(ranges[k].start) + "-" + std::to_string(ranges[k].end - 1);
  }
  if (ranges.size() > shown) text += " and " + std::to_string(ranges.size() - shown) + " more";
  return text;
}

}  // namespace quorvane
