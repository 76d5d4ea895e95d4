#pragma once
// Volumes for the reader held in memory, with chosen read failures and a log
// of the reads.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "volume/host/block_device.h"

namespace quorvane::testing {

// One read request as the device saw it.
struct ReadRecord {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// Maps drive letters to volumes in memory. A read past a volume's end copies
// what exists and fails with EIO, as pread on an image file does. Safe to use
// from several threads.
class MemoryDriveSource final : public DriveSource {
 public:
  MemoryDriveSource();
  ~MemoryDriveSource() override;

  MemoryDriveSource& MapBytes(char letter, std::vector<uint8_t> bytes);
  // A volume of `size` bytes that holds `sectors` (512 bytes each, by sector
  // number) and zeros elsewhere, without room for the zeros: large volumes
  // described in a few sectors, as the fuzz targets give them.
  MemoryDriveSource& MapSparse(char letter, uint64_t size,
                               std::map<uint32_t, std::vector<uint8_t>> sectors);
  // Reads that touch sectors first .. first + count - 1 fail with `error`.
  MemoryDriveSource& FailSectors(char letter, uint32_t first, uint32_t count, int error);
  // A device that gives no error number for a failed read (the old
  // device-control route).
  MemoryDriveSource& SetReportsReadErrors(char letter, bool reports);
  // Answer of VolumeHoldsDirectory for the drive (false unless set).
  MemoryDriveSource& SetHoldsDirectory(char letter, bool holds);
  // The drive's volume claims to be the host file at `path` when its
  // identity is asked for (none while nothing is there).
  MemoryDriveSource& SetIdentityFromPath(char letter, std::string path);
  std::vector<ReadRecord> ReadLog(char letter) const;

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override;

  struct Drive;  // shared with the devices it opens

 private:
  template <class Change>
  MemoryDriveSource& Set(char letter, Change change);

  mutable std::mutex mutex_;
  std::map<int32_t, std::shared_ptr<Drive>> drives_;
};

}  // namespace quorvane::testing
