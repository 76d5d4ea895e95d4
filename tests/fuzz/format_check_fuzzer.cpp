// Fuzz target: the format checks a recovery with --fragments feeds cluster
// by cluster, on any bytes. The first byte names the format and the
// cluster size; the rest is the file, then two candidate runs.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "recovery/format_check.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static constexpr std::array<std::string_view, 8> kExtensions{"jpg", "png", "zip", "docx",
                                                               "pdf", "mp4", "mov", "bin"};
  const std::string_view extension = kExtensions[data[0] % kExtensions.size()];
  const size_t cluster = size_t{512} << ((data[0] >> 3) % 4);
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  // The file is the first three quarters; the rest gives two candidate runs.
  const size_t file_size = bytes.size() * 3 / 4;
  const auto file = bytes.first(file_size);
  FormatCheck check(extension, file.first(std::min(file.size(), cluster)), file_size);
  for (size_t at = 0; at < file.size(); at += cluster) {
    const auto piece = file.subspan(at, std::min(cluster, file.size() - at));
    check.Try(piece);
    if (at + cluster >= file.size()) {
      const auto rest = bytes.subspan(file_size);
      const std::array<std::span<const uint8_t>, 2> runs{rest.first(rest.size() / 2), rest.subspan(rest.size() / 2)};
      ChooseContinuation(check, runs, cluster);
    }
    check.Feed(piece);
  }
  check.Complete();
  return 0;
}
