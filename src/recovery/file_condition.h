#pragma once
// One word for a deleted file's chances, as a search row shows it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/zero_filled_ranges.h"
#include "volume/format/volume_view.h"

namespace quorvane {

class ClusterClaims;

enum class FileCondition {
  kIntact,       // the clusters the size needs are free and follow each other
  kGaps,         // clusters in use had to be stepped over
  kShort,        // the volume ends before the size is reached
  kOverwritten,  // the first cluster is in use again (or lies outside the volume)
  kRebuilt,      // the first cluster came from evidence
  kGuessed,      // rebuilt, but the evidence does not single the cluster out
  // exFAT frees a file's FAT chain with it: the clusters were taken by the
  // free-cluster rule, which holds only for a file that was not fragmented.
  kUnchained,
  // exFAT: the entry set's checksum does not match its bytes, so its name,
  // size or first cluster may not be what was written.
  kBadChecksum,
  // Sectors that could not be read were written as zeros (a copy that kept
  // going past them); a file found intact becomes this one. Known after
  // the copy only, never from a search.
  kUnreadable,
  // With the volume's claims: clusters another deleted entry claims were
  // stepped over, or the first cluster went to another entry that begins
  // there too.
  kClaimed,
  // With the volume's claims: another deleted entry's claim also reaches
  // clusters this copy kept by the stronger evidence.
  kContested,
  // With --fragments: free clusters that broke the file's format were
  // passed over for the ones that continue it. Known after the copy only.
  kFollowed,
};

std::string_view ConditionWord(FileCondition condition);
// What the word means for the recovered bytes, in a sentence's words.
std::string_view ConditionMeaning(FileCondition condition);
// The line a recovery adds after its final texts when the file is not
// intact: "Condition: overwritten - the first cluster now belongs to ...".
std::string ConditionLine(FileCondition condition);
// The unreadable condition's line with where the zeros are: "Condition:
// unreadable - ...; zeros at bytes 4096-4607". Added after any other
// condition's line, since a file may be both.
std::string UnreadableLine(const std::vector<ByteRange>& zero_filled);

// The condition of a file of `size` bytes whose copy begins at
// `first_cluster`, by the copy's own taking rule. A FAT that cannot be read
// counts as the volume's end.
// With `claims`, by the rule that steps over other entries' claims too:
// not intact when it steps over one, loses its first cluster to another
// entry, or keeps clusters another entry's claim also reaches.
FileCondition ConditionOf(VolumeView& view, uint32_t first_cluster, uint64_t size,
                          const ClusterClaims* claims = nullptr);

// The condition of an exFAT file. A NoFatChain file's clusters follow one
// another and are copied as they are: it is intact while none of them is in
// use again. A file that had a FAT chain is taken by the free-cluster rule
// and is at best kUnchained (kClaimed or kContested as `claims` say). A checksum that does not match outweighs all.
FileCondition ExFatConditionOf(VolumeView& view, uint32_t first_cluster, uint64_t size,
                               bool contiguous, bool checksum_matches,
                               const ClusterClaims* claims = nullptr);

}  // namespace quorvane
