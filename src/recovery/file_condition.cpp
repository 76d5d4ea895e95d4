#include "recovery/file_condition.h"

#include <algorithm>

#include "recovery/cluster_claims.h"

namespace quorvane {

std::string_view ConditionWord(FileCondition condition) {
  switch (condition) {
    case FileCondition::kIntact: return "intact";
    case FileCondition::kGaps: return "gaps";
    case FileCondition::kShort: return "short";
    case FileCondition::kOverwritten: return "overwritten";
    case FileCondition::kRebuilt: return "rebuilt";
    case FileCondition::kGuessed: return "guessed";
    case FileCondition::kUnchained: return "unchained";
    case FileCondition::kBadChecksum: return "bad-checksum";
    case FileCondition::kUnreadable: return "unreadable";
    case FileCondition::kClaimed: return "claimed";
    case FileCondition::kContested: return "contested";
    case FileCondition::kFollowed: return "followed";
  }
  return "";
}

std::string_view ConditionMeaning(FileCondition condition) {
  switch (condition) {
    case FileCondition::kIntact: return "the clusters the size needs were free and followed each other";
    case FileCondition::kGaps:
      return "clusters in use by other files were stepped over, so parts of the file may be "
             "missing or out of place";
    case FileCondition::kShort: return "the volume ends before the file's size, so its end is missing";
    case FileCondition::kOverwritten:
      return "the first cluster now belongs to another file, so the bytes are probably not this "
             "file's";
    case FileCondition::kRebuilt:
      return "the first cluster was lost from the entry and rebuilt from evidence on the volume";
    case FileCondition::kGuessed:
      return "the first cluster was lost from the entry and the evidence does not single one "
             "out, so the bytes may not be this file's";
    case FileCondition::kUnchained:
      return "the volume kept no cluster chain for the file, so its clusters were taken as the "
             "next free ones, which holds only if it was not fragmented";
    case FileCondition::kBadChecksum:
      return "the entry's checksum does not match its bytes, so its name, size or first cluster "
             "may be wrong";
    case FileCondition::kUnreadable:
      return "sectors that could not be read were written as zeros, so those bytes are missing";
    case FileCondition::kClaimed:
      return "another deleted file claims some of the clusters that follow the first; they were "
             "stepped over, so the copy holds the clusters after them, which may not be this file's";
    case FileCondition::kContested:
      return "another deleted file's entry also reaches some of these clusters; they were kept for "
             "this file by the stronger evidence, which does not prove them its own";
    case FileCondition::kFollowed:
      return "free clusters that broke the file's format were passed over for the ones that "
             "continue it; the format's checks bear the copy out, but do not prove every byte";
  }
  return "";
}

std::string ConditionLine(FileCondition condition) {
  return "Condition: " + std::string(ConditionWord(condition)) + " - " +
         std::string(ConditionMeaning(condition));
}

std::string UnreadableLine(const std::vector<ByteRange>& zero_filled) {
  return ConditionLine(FileCondition::kUnreadable) + "; " + ZeroFilledText(zero_filled);
}

namespace {

uint32_t ClustersNeeded(const FatParams& params, uint64_t size) {
  const uint64_t cluster_bytes = std::max<uint32_t>(1, params.ClusterBytes());
  return static_cast<uint32_t>(
      std::clamp<uint64_t>(size / cluster_bytes + (size % cluster_bytes != 0), 1, UINT32_MAX));
}

}  // namespace

FileCondition ConditionOf(VolumeView& view, uint32_t first_cluster, uint64_t size,
                          const ClusterClaims* claims) {
  const FatParams& params = view.params();
  const uint32_t needed = ClustersNeeded(params, size);
  if (!params.IsClusterInVolume(first_cluster)) return FileCondition::kOverwritten;
  bool gaps = false, claimed = false, contested = false;
  if (claims != nullptr) {
    const auto standing = claims->StandingOf(first_cluster, needed);
    // A first cluster inside another entry's run (a rebuilt one) is that entry's too.
    claimed = standing == ClusterClaims::Standing::kLost ||
              claims->OtherClaimEnd(first_cluster, first_cluster).has_value();
    contested = standing == ClusterClaims::Standing::kKept;
  }
  uint32_t taken = 0;
  for (uint32_t c = first_cluster; taken < needed; ++c) {
    if (!params.IsClusterInVolume(c)) return FileCondition::kShort;
    if (claims != nullptr && c != first_cluster) {
      if (const auto end = claims->OtherClaimEnd(c, first_cluster)) {
        claimed = true;
        c = *end;
        continue;
      }
    }
    const auto free = view.ClusterFree(c);
    if (!free) return FileCondition::kShort;
    if (*free) {
      ++taken;
      if (claims != nullptr && !contested) contested = claims->ContestedAt(c, first_cluster);
    } else if (c == first_cluster) {
      return FileCondition::kOverwritten;
    } else {
      gaps = true;
    }
  }
  if (claimed) return FileCondition::kClaimed;
  if (contested) return FileCondition::kContested;
  return gaps ? FileCondition::kGaps : FileCondition::kIntact;
}

FileCondition ExFatConditionOf(VolumeView& view, uint32_t first_cluster, uint64_t size,
                               bool contiguous, bool checksum_matches,
                               const ClusterClaims* claims) {
  if (!checksum_matches) return FileCondition::kBadChecksum;
  if (!contiguous) {
    const FileCondition classic = ConditionOf(view, first_cluster, size, claims);
    return classic == FileCondition::kIntact || classic == FileCondition::kGaps ? FileCondition::kUnchained
                                                                                 : classic;
  }
  const FatParams& params = view.params();
  const uint32_t needed = ClustersNeeded(params, size);
  for (uint32_t k = 0; k < needed; ++k) {
    const uint64_t c = uint64_t{first_cluster} + k;
    if (c > UINT32_MAX || !params.IsClusterInVolume(static_cast<uint32_t>(c)))
      return k == 0 ? FileCondition::kOverwritten : FileCondition::kShort;
    const auto free = view.ClusterFree(static_cast<uint32_t>(c));
    if (!free) return FileCondition::kShort;
    if (!*free) return FileCondition::kOverwritten;
  }
  return FileCondition::kIntact;
}

}  // namespace quorvane
