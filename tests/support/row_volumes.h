#pragma once
// Volumes that the search tests list, shared with the test that recovers
// every row any search lists from them. Each is made with mkfs.fat and
// mtools: everything is created before anything is deleted in a directory,
// since mtools reuses deleted slots.
#include <cstdint>
#include <string>
#include <vector>

#include "support/mtools_volume.h"

namespace quorvane::testing {

// The name of the i-th of the 40 files of /DOCS/BIG.
std::string BigFileName(int i);

// What the search is tested on in every FAT family (512-byte clusters):
// deleted files with and without long names in live directories, a
// directory of three clusters with a deleted file in each, deleted trees
// (GONE, GONE/SUB), twins by stored name (files AB and CB, directories XDIR
// and YDIR), a live and an empty deleted file.
void FillSearchVolume(MtoolsVolume& v);

// What the walks once got wrong, under /CASES: directories whose 8.3 names
// have extensions (ARCHIVE.OLD and V1.01 live, 2019.Q4 a deleted tree with
// INNER below it), a deleted file without an extension (README), a tree of
// 30 levels whose deepest row passes 300 bytes, and, with `reused_cluster`
// (FAT32, whose next-free hint places a file), a deleted directory
// HOLDER/GONEDIR whose first cluster the live file TAKER.BIN took since: its bytes
// look like directory entries of deleted files (PARSED1.TXT ...), without
// "." and "..".
void AddWalkCases(MtoolsVolume& v, bool reused_cluster);
// /TWICE/REPORT.TXT created, deleted, created again with other content and
// deleted again: two deleted entries stored alike (\xE5EPORT  TXT), the
// later one first in the directory, each with clusters of its own (a
// deleted file GAP.BIN left the hole the later one took).
void AddRecreatedTwins(MtoolsVolume& v);
std::vector<uint8_t> FirstReport();   // the first REPORT.TXT's bytes
std::vector<uint8_t> SecondReport();  // the second's

// The deepest directory of AddWalkCases' tree, as mtools names it.
std::string DeepestWalkCaseDirectory();

// Directories no walk reaches (FAT32, whose next-free hint places files),
// under /ORPH: the deleted directory A/OLD (LOST1.TXT, LOST2.TXT deleted
// with it) whose entry the live file A/NEWER.TXT took, so that only its
// cluster's "." and ".." tell where it was; and the deleted directory B,
// which grew past its first cluster (F00.TXT to F15.TXT) and held INNER
// (DEEP.TXT), whose first cluster the live file TAKEN.BIN took, so that
// neither its later cluster nor INNER can be reached from it. Returns the
// first clusters of OLD, B's later cluster and INNER.
struct OrphanClusters {
  uint32_t old = 0, later = 0, inner = 0;
};
OrphanClusters AddOrphanCases(MtoolsVolume& v);

// Files deleted as the NT family deletes them, on a FAT32 volume of more
// than 65,536 clusters (MtoolsVolume's default 33 MiB), high words cleared:
// /low notes.txt at cluster 3 (its high word was 0 anyway), /zero low
// word.txt at 65536 (its low word is 0), /Letter to the bank.docx (a ZIP)
// at 65540, /minutes of the meeting.txt at 65546, and the deleted tree /Old
// letters at 65551 holding to the council.txt and Inner/deeper notes.txt (their
// entries keep their high words). Returns the entries whose high word was
// cleared.
int FillNtDeletedVolume(MtoolsVolume& v);
std::vector<uint8_t> NtZip(size_t size);   // a ZIP's first bytes, then a pattern
std::vector<uint8_t> NtText(size_t size);  // lines of a letter

}  // namespace quorvane::testing
