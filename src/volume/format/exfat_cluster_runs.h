#pragma once
// Where an exFAT file's bytes lie: its clusters as runs of consecutive
// clusters, found without the FAT for a NoFatChain file and along its FAT
// chain otherwise. Used for the volume's own files (allocation bitmap,
// up-case table), which are read before any directory walk.
#include <cstdint>
#include <vector>

#include "volume/expected.h"
#include "volume/format/volume_view.h"
#include "volume/read_error.h"

namespace quorvane {

struct ClusterRun {
  uint32_t first = 0;
  uint32_t count = 0;
};

struct ExFatChainError {
  enum class Kind {
    kUnreadable,  // a FAT sector or cluster could not be read: `read` says why
    kBroken,      // the clusters leave the heap, or the chain ends, frees or loops before `length`
  };
  Kind kind = Kind::kBroken;
  ReadError read;
};

// The clusters holding `length` bytes from `first` (none for 0 bytes). The
// runs lie in the heap, and the chain is followed no further than `length`
// needs.
Expected<std::vector<ClusterRun>, ExFatChainError> ExFatClusterRuns(VolumeView& view, uint32_t first,
                                                                    uint64_t length, bool contiguous);

// The file's first `length` bytes, read run by run. For the volume's own
// small files: the caller bounds `length`.
Expected<std::vector<uint8_t>, ExFatChainError> ReadExFatFile(VolumeView& view, uint32_t first,
                                                              uint64_t length, bool contiguous);

}  // namespace quorvane
