#include "recovery/file_condition.h"

#include <algorithm>

namespace quorvane {

std::string_view ConditionWord(FileCondition condition) {
  switch (condition) {
    case FileCondition::kIntact: return "intact";
    case FileCondition::kGaps: return "gaps";
    case FileCondition::kShort: return "short";
    case FileCondition::kOverwritten: return "overwritten";
    case FileCondition::kRebuilt: return "rebuilt";
    case FileCondition::kGuessed: return "guessed";
  }
  return "";
}

FileCondition ConditionOf(VolumeView& view, uint32_t first_cluster, uint32_t size) {
  const FatParams& params = view.params();
  const uint32_t cluster_bytes = std::max<uint32_t>(1, params.ClusterBytes());
  const uint32_t needed = std::max<uint32_t>(1, size / cluster_bytes + (size % cluster_bytes != 0));
  if (!params.IsClusterInVolume(first_cluster)) return FileCondition::kOverwritten;
  bool gaps = false;
  uint32_t taken = 0;
  for (uint32_t c = first_cluster; taken < needed; ++c) {
    if (!params.IsClusterInVolume(c)) return FileCondition::kShort;
    const auto free = view.ClusterFree(c);
    if (!free) return FileCondition::kShort;
    if (*free) {
      ++taken;
    } else if (c == first_cluster) {
      return FileCondition::kOverwritten;
    } else {
      gaps = true;
    }
  }
  return gaps ? FileCondition::kGaps : FileCondition::kIntact;
}

}  // namespace quorvane
