#pragma once
// Whether a directory's file system is stored on a given volume.
#include <string>

#include "volume/host/block_device.h"

namespace quorvane {

// True when the file system holding `directory` lives on the volume
// `volume`: the same block device, a partition of it, or a loop device
// backed by the same image file or a partition of such a loop device. Writing into such a directory could reuse
// the very clusters a recovery reads.
bool VolumeHoldsPath(const FileIdentity& volume, const std::string& directory);
// The same for the volume at `volume_path`; false when it cannot be found.
bool VolumeHoldsPath(const std::string& volume_path, const std::string& directory);

}  // namespace quorvane
