#include "support/nt_deleted.h"

#include <stdexcept>
#include <vector>

#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane::testing {

int ClearHighWordsOfDeleted(const std::string& path) {
  std::vector<uint8_t> image = ReadFileBytes(path);
  const uint32_t spc = image.at(13), reserved = LoadLe16(image, 14), fats = image.at(16);
  const uint32_t fat_size = LoadLe32(image, 36), root = LoadLe32(image, 44);
  const uint64_t first_data = reserved + uint64_t{fats} * fat_size;
  auto fat = [&](uint32_t c) { return LoadLe32(image, reserved * 512ull + c * 4ull) & 0x0FFFFFFF; };
  int changed = 0;
  std::vector<uint32_t> directories{root};
  for (size_t d = 0; d < directories.size(); ++d) {
    for (uint32_t c = directories[d]; c >= 2 && c < 0x0FFFFFF8; c = fat(c)) {
      const uint64_t at = (first_data + (c - 2) * uint64_t{spc}) * 512;
      for (uint64_t e = at; e < at + spc * 512ull; e += 32) {
        const uint8_t first = image.at(e), attr = image.at(e + 11);
        if (first == 0) break;
        if (attr == 0x0F || first == '.') continue;
        if (first == 0xE5) {
          if (LoadLe16(image, e + 20) != 0) ++changed;
          StoreLe16(image, e + 20, 0);
        } else if (attr & 0x10) {
          directories.push_back(LoadLe16(image, e + 20) * 65536u + LoadLe16(image, e + 26));
        }
      }
      if (directories.size() > 10'000) throw std::runtime_error("directories loop in " + path);
    }
  }
  WriteFileBytes(path, image);
  return changed;
}

}  // namespace quorvane::testing
