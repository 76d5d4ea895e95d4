#pragma once
// Volumes for the reader, held in memory or in image files, with chosen read
// failures and read counts.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "volume/block_device.h"

namespace quorvane::testing {

// One read request as the device saw it.
struct ReadRecord {
  uint64_t offset = 0;
  uint64_t length = 0;
  uint32_t FirstSector() const { return static_cast<uint32_t>(offset / 512); }
  uint32_t SectorCount() const { return static_cast<uint32_t>((length + 511) / 512); }
};

// A BlockDevice over a byte vector. Reads past the end fail with EIO, as an
// image file's do.
class MemoryBlockDevice final : public BlockDevice {
 public:
  explicit MemoryBlockDevice(std::shared_ptr<const std::vector<uint8_t>> bytes)
      : bytes_(std::move(bytes)) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

// Maps drive letters to byte vectors or image files. Every device it opens
// shares the drive's fault list and counters; safe to use from several threads.
class MemoryDriveSource final : public DriveSource {
 public:
  MemoryDriveSource();
  ~MemoryDriveSource() override;

  MemoryDriveSource& MapBytes(char letter, std::vector<uint8_t> bytes);
  MemoryDriveSource& MapFile(char letter, const std::string& path);
  // Reads that touch sectors first .. first + count - 1 fail with `error`.
  MemoryDriveSource& FailSectors(char letter, uint32_t first, uint32_t count, int error);
  // Opening the drive fails (as an unmapped drive does).
  MemoryDriveSource& FailOpen(char letter, bool fail = true);
  // A device whose failed reads go unreported (the old device-control route).
  MemoryDriveSource& SetReportsReadErrors(char letter, bool reports);
  // Answer of VolumeHoldsDirectory for the drive (false unless set).
  MemoryDriveSource& SetHoldsDirectory(char letter, bool holds);

  // Counters since the last ResetCounters().
  size_t Opens(char letter) const;
  size_t Reads(char letter) const;
  uint64_t BytesRead(char letter) const;
  std::vector<ReadRecord> ReadLog(char letter) const;
  // Directories asked about through VolumeHoldsDirectory.
  std::vector<std::string> HoldsQueries(char letter) const;
  void ResetCounters();

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override;

  struct Drive;  // shared with the devices it opens

 private:
  Drive* Find(char letter) const;
  Drive& Get(char letter);

  mutable std::mutex mutex_;
  std::map<int32_t, std::shared_ptr<Drive>> drives_;
};

}  // namespace quorvane::testing
