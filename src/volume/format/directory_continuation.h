#pragma once
// The later clusters of a deleted directory. Its chain was freed with it, so
// only its first cluster is known. A directory cluster with no end mark is
// full, and the directory went on in a cluster allocated when it grew: the
// nearest free cluster then, often past the clusters of files written in
// the meantime. Such a cluster is told by its bytes: every slot up to an
// end mark reads as a directory entry, and it does not begin with the "."
// entry that begins every directory's first cluster.
#include <cstdint>
#include <optional>
#include <span>

#include "volume/format/fat_params.h"
#include "volume/format/volume_view.h"

namespace quorvane {

// Free clusters examined after a full directory cluster before the
// directory is taken to end there.
inline constexpr uint32_t kContinuationWindow = 2048;

// Whether a slot of `cluster` has an end mark (first byte 0): the
// directory's entries end in this cluster.
bool EndsDirectory(std::span<const uint8_t> cluster);

// Whether the slots of `bytes` from `from` on read as directory entries:
// each a plausible short entry or long-name part up to an end mark, only
// unused slots after it. `short_entries` counts the short ones.
bool SlotsReadAsEntries(std::span<const uint8_t> bytes, size_t from, const FatParams& params,
                        size_t& short_entries);

// Whether `cluster` reads as a later cluster of a FAT directory of the
// volume `params` describes: it begins with a used or deleted entry other
// than ".", every slot up to an end mark is a plausible short entry or
// long-name part, at least one short entry among them, and every slot after
// the end mark is unused too.
bool ReadsAsDirectoryContinuation(std::span<const uint8_t> cluster, const FatParams& params);

// The nearest free cluster after `after`, among the next
// kContinuationWindow free ones, whose bytes read as a continuation; none
// when no such cluster is found. A cluster or FAT entry that cannot be read
// is passed over.
std::optional<uint32_t> FindDirectoryContinuation(VolumeView& view, uint32_t after);

}  // namespace quorvane
