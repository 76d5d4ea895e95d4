#include "support/deleted_exfat.h"

#include <filesystem>

#include "support/exfat_volume.h"

namespace quorvane::testing {

namespace fs = std::filesystem;

DeletedOnExFat::DeletedOnExFat() {
  ExFatVolume volume(image, {.mib = 4, .cluster_bytes = 512, .sector_bytes = 512, .label = "Card"});
  uint32_t seed = 1;
  auto write = [&](const fs::path& root, const std::string& path, size_t size) {
    written[path] = PatternBytes(size, seed++);
    WriteFileBytes(root / path, written[path]);
  };
  volume.Change([&](const fs::path& root) {
    write(root, "keep.bin", 3000);
    write(root, "taken.bin", 1500);
    write(root, "Name with spaces.jpg", 5000);
    fs::create_directory(root / kCafe);
    write(root, kCafe + "/" + kDiary, 700);
    write(root, kCafe + "/" + kResume, 800);
    write(root, kLongName, 900);
    write(root, kSmile, 1234);
    write(root, kAcute, 300);
    write(root, kMisread, 400);
    fs::create_directories(root / "Old" / "Sub");
    write(root, "Old/a.txt", 1200);
    write(root, "Old/Sub/deep.txt", 900);
    for (const char* pair : {"fragA", "fragB"}) {
      for (int round = 0; round < 6; ++round) {
        for (const char* which : {"1.bin", "2.bin"}) {
          const std::string path = pair + std::string(which);
          const std::vector<uint8_t> part = PatternBytes(1500, seed++);
          written[path].insert(written[path].end(), part.begin(), part.end());
          AppendToFile(root / path, part);
        }
      }
    }
    write(root, "Last one stays.txt", 100);
  });
  volume.Change([&](const fs::path& root) {
    fs::remove(root / "taken.bin");
    write(root, kCafe + "/fresh.bin", 2000);
  });
  volume.Change([&](const fs::path& root) {
    for (const std::string& path : std::vector<std::string>{"Name with spaces.jpg", kCafe + "/" + kDiary, kCafe + "/" + kResume,
                                    kLongName, kSmile, kAcute, kMisread, "fragA2.bin", "fragB1.bin", "fragB2.bin"})
      fs::remove(root / path);
    fs::remove_all(root / "Old");
  });
}

}  // namespace quorvane::testing
