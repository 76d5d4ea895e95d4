#pragma once
// The exFAT volume the command line's exFAT tests list and recover, made and
// changed through exfat-fuse (see ExFatVolume): whole names in UTF-8, a
// deleted tree, fragmented files, a file whose clusters another took.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane::testing {

inline const std::string kCafe = "Caf\xC3\xA9";
inline const std::string kDiary = "\xE6\x97\xA5\xE8\xA8\x98.txt";  // 日記.txt
inline const std::string kResume = "R\xC3\xA9sum\xC3\xA9.txt";
inline const std::string kSmile = "smile \xF0\x9F\x98\x80.png";  // a surrogate pair in UTF-16
inline const std::string kAcute = "\xC3\xA9.txt";                // é.txt
// é's UTF-8 bytes taken for two Latin-1 characters, as names copied
// between systems come out: U+00C3 U+00A9, which is no é.
inline const std::string kMisread = "\xC3\x83\xC2\xA9.txt";
// Fourteen File Name entries: with its File and Stream Extension entries
// the set fills a 512-byte directory cluster.
inline const std::string kLongName = "A name of two hundred characters " + std::string(163, 'x') + ".txt";

// A 4 MiB volume in 512-byte clusters, as exfat-fuse leaves it. Written in
// one go, files and directories have no FAT chain; the frag pairs, appended
// to in turn, have chains that interleave. taken.bin is deleted alone and
// Café/fresh.bin written after it, so it takes taken.bin's clusters (exfat-fuse
// allocates from the lowest free cluster) but not its slot; the rest is
// deleted last, the Old tree with `rm -r`. A live file stays after Old so
// that the root does not shrink over Old's set (exfat-fuse frees the
// trailing clusters of a directory emptied at its end).
struct DeletedOnExFat {
  TempDir dir;
  std::string image = dir.File("card.img");
  std::map<std::string, std::vector<uint8_t>> written;  // by path on the volume, '/' between names

  DeletedOnExFat();
};

}  // namespace quorvane::testing
