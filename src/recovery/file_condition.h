#pragma once
// One word for a deleted file's chances, as a search row shows it.
#include <cstdint>
#include <string_view>

#include "volume/format/volume_view.h"

namespace quorvane {

enum class FileCondition {
  kIntact,       // the clusters the size needs are free and follow each other
  kGaps,         // clusters in use had to be stepped over
  kShort,        // the volume ends before the size is reached
  kOverwritten,  // the first cluster is in use again (or lies outside the volume)
  kRebuilt,      // the first cluster came from evidence
  kGuessed,      // rebuilt, but the evidence does not single the cluster out
};

std::string_view ConditionWord(FileCondition condition);

// The condition of a file of `size` bytes whose copy begins at
// `first_cluster`, by the copy's own taking rule. A FAT that cannot be read
// counts as the volume's end.
FileCondition ConditionOf(VolumeView& view, uint32_t first_cluster, uint32_t size);

}  // namespace quorvane
