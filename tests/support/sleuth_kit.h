#pragma once
// The Sleuth Kit's reading of a volume's deleted files, to hold this
// system's recoveries against: `fls -r -d -p` names them with their
// inodes, and `icat -r` gives what its recovery mode reads for one (from
// the first cluster on, the unallocated clusters that follow, up to the
// size).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quorvane::testing {

// Every deleted regular file fls finds, by its path ("Old Dir/Sub/_EEP.TXT":
// '/' between names, a deleted 8.3 name's mark as '_'; whole long and exFAT
// names in UTF-8), with its inode. Throws when fls fails.
std::map<std::string, uint64_t> SleuthKitDeletedFiles(const std::string& image);

// icat -r: what The Sleuth Kit recovers for the deleted file at `inode`.
// Throws when icat fails.
std::vector<uint8_t> SleuthKitRecovered(const std::string& image, uint64_t inode);

}  // namespace quorvane::testing
