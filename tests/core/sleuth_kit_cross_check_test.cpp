// Every deleted file quorvane-cli lists as intact comes back from
// quorvane-cli undelete with the bytes The Sleuth Kit's recovery mode
// (icat -r) reads for it, on FAT12, FAT16 and FAT32 volumes written by
// mtools and an exFAT volume written by exfat-fuse; where the two follow
// the same free-cluster rule into another file's clusters, they agree on
// that too.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/exfat_volume.h"
#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/sleuth_kit.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCafeNotes = "Docs/Caf\xC3\xA9 notes.txt";

// What every volume holds, in the order written: paths with '/', sizes.
// Alpha.bin is deleted before Split.bin is written, so Split.bin takes
// Alpha's clusters and goes on after Beta's: a file in two pieces.
struct Content {
  std::string path;
  size_t size;
};
const std::vector<Content> kBefore = {
    {kCafeNotes, 1500},     {"Old Dir/inner file.bin", 3000}, {"Old Dir/Sub/DEEP.TXT", 1500},
    {"GONE.TXT", 700},      {"Report 2024.txt", 1500},        {"Alpha.bin", 1000},
    {"Beta.bin", 1000},
};
const std::vector<Content> kAfterAlpha = {{"Split.bin", 3000}, {"Keep me.bin", 3000}};
const std::vector<std::string> kDeletedLast = {kCafeNotes, "GONE.TXT", "Report 2024.txt", "Split.bin", "Beta.bin"};
// Deleted, still in clusters that are free and in a row: the bytes written
// come back.
const std::vector<std::string> kExact = {kCafeNotes, "Old Dir/inner file.bin", "Old Dir/Sub/DEEP.TXT",
                                         "GONE.TXT", "Report 2024.txt", "Beta.bin"};
// On FAT, Split.bin's clusters are free and its entry keeps no chain: it is
// intact by the rule, which takes Beta.bin's freed clusters for its second
// piece. (Alpha.bin's slot went to Split.bin. exFAT calls a file that had a
// chain unchained, not intact.)
const std::string kSplit = "Split.bin";

struct Family {
  const char* name;
  // Writes kBefore, deletes Alpha.bin, writes kAfterAlpha, deletes
  // kDeletedLast and the Old Dir tree.
  std::function<void(const std::string& image, const std::map<std::string, std::vector<uint8_t>>& bytes)> make;
  bool split_intact;  // whether Split.bin is listed intact
};

void MakeWithMtools(const std::string& image, int fat_bits, uint32_t mib,
                    const std::map<std::string, std::vector<uint8_t>>& bytes) {
  MtoolsVolume volume(image, mib, fat_bits);
  volume.MakeDirectory("/Docs").MakeDirectory("/Old Dir").MakeDirectory("/Old Dir/Sub");
  for (const Content& c : kBefore) volume.AddFile("/" + c.path, bytes.at(c.path));
  // FAT32: mtools allocates after its free-cluster hint; back to Alpha.bin's place.
  if (fat_bits == 32) volume.SetNextFreeCluster(volume.FirstCluster("/Alpha.bin") - 1);
  volume.Delete("/Alpha.bin");
  for (const Content& c : kAfterAlpha) volume.AddFile("/" + c.path, bytes.at(c.path));
  for (const std::string& path : kDeletedLast) volume.Delete("/" + path);
  volume.DeleteTree("/Old Dir");
}

void MakeWithExFatFuse(const std::string& image, const std::map<std::string, std::vector<uint8_t>>& bytes) {
  ExFatVolume volume(image, {.mib = 4, .cluster_bytes = 512, .sector_bytes = 512, .label = {}});
  auto write = [&](const fs::path& root, const std::vector<Content>& files) {
    for (const Content& c : files) {
      fs::create_directories((root / c.path).parent_path());
      WriteFileBytes(root / c.path, bytes.at(c.path));
    }
  };
  volume.Change([&](const fs::path& root) { write(root, kBefore); });
  volume.Change([&](const fs::path& root) {
    fs::remove(root / "Alpha.bin");
    write(root, kAfterAlpha);
  });
  volume.Change([&](const fs::path& root) {
    for (const std::string& path : kDeletedLast) fs::remove(root / path);
    fs::remove_all(root / "Old Dir");
  });
}

// A --details row's long path as fls -p gives it: '/' between names, and
// the deleted mark of an 8.3 name that has no long name as '_' (the row
// shows it as its Latin-1 character, å).
std::string SleuthKitPathOf(const std::string& long_path) {
  std::string path;
  std::istringstream names(long_path.substr(3));  // after "C:\"
  for (std::string name; std::getline(names, name, '\\');) {
    if (name.starts_with("\xC3\xA5")) name.replace(0, 2, "_");
    path += (path.empty() ? "" : "/") + name;
  }
  return path;
}

// The path written for a Sleuth Kit path: an 8.3 name's lost first letter
// comes from the written names.
std::string WrittenPathOf(const std::string& tsk_path, const std::map<std::string, std::vector<uint8_t>>& bytes) {
  for (const auto& [path, unused] : bytes) {
    if (path.size() != tsk_path.size()) continue;
    const size_t name = path.rfind('/') + 1;  // 0 in the root
    if (path.compare(0, name, tsk_path, 0, name) == 0 && tsk_path[name] == '_' &&
        path.compare(name + 1, std::string::npos, tsk_path, name + 1, std::string::npos) == 0)
      return path;
  }
  return tsk_path;
}

TEST(SleuthKitCrossCheck, EveryIntactFileComesBackAsIcatRecoversIt) {
  const std::string exfat_unavailable = ExFatVolumesUnavailable();
  const std::vector<Family> families = {
      {"FAT12", [](auto& image, auto& bytes) { MakeWithMtools(image, 12, 2, bytes); }, true},
      {"FAT16", [](auto& image, auto& bytes) { MakeWithMtools(image, 16, 4, bytes); }, true},
      {"FAT32", [](auto& image, auto& bytes) { MakeWithMtools(image, 32, 33, bytes); }, true},
      {"exFAT", [](auto& image, auto& bytes) { MakeWithExFatFuse(image, bytes); }, false},
  };
  std::map<std::string, std::vector<uint8_t>> bytes;
  uint32_t seed = 1;
  for (const auto& list : {kBefore, kAfterAlpha})
    for (const Content& c : list) bytes[c.path] = PatternBytes(c.size, seed++);

  for (const Family& family : families) {
    SCOPED_TRACE(family.name);
    // The FAT families have been checked by then.
    if (std::string(family.name) == "exFAT" && !exfat_unavailable.empty()) GTEST_SKIP() << exfat_unavailable;
    TempDir dir;
    const std::string image = dir.File("volume.img");
    family.make(image, bytes);
    UnchangedGuard unchanged(image);
    const std::map<std::string, uint64_t> inodes = SleuthKitDeletedFiles(image);

    const CommandResult search = RunCli({image, "search", "--recurse", "--deleted-dirs", "--details", "C:"});
    ASSERT_EQ(search.status, 0) << search.output;
    std::vector<std::string> intact;
    for (const SearchRow& row : SearchRows(search.output)) {
      if (row.condition != "intact") continue;
      const std::string tsk_path = SleuthKitPathOf(row.longPath);
      SCOPED_TRACE(tsk_path);
      ASSERT_EQ(inodes.count(tsk_path), 1u) << "fls lists no such deleted file";
      TempDir out;
      const CommandResult undelete = RunCli({image, "undelete", "-o", out.str(), row.path});
      ASSERT_EQ(undelete.status, 0) << undelete.output;
      const fs::directory_iterator written_file(out.path());
      ASSERT_NE(written_file, fs::directory_iterator());
      const std::vector<uint8_t> recovered = ReadFileBytes(written_file->path());
      EXPECT_EQ(recovered, SleuthKitRecovered(image, inodes.at(tsk_path)));
      const std::string path = WrittenPathOf(tsk_path, bytes);
      ASSERT_EQ(bytes.count(path), 1u);
      EXPECT_EQ(recovered == bytes.at(path), path != kSplit);
      intact.push_back(path);
    }
    std::vector<std::string> expected = kExact;
    if (family.split_intact) expected.push_back(kSplit);
    std::sort(intact.begin(), intact.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(intact, expected) << search.output;
  }
}

}  // namespace
}  // namespace quorvane::testing
