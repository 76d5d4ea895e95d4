#pragma once
// A drive source for a read whose result may stop being wanted: once its
// ticket is abandoned, every open and every read through it fails at once
// (ECANCELED), so the read ends at its next sector instead of its last. An
// open already waiting (for a password, say) is not cut short; the reads
// after it are.
#include <atomic>
#include <cstdint>
#include <memory>

#include "volume/host/block_device.h"

namespace quorvane::ui {

// One read's abort flag: 0 = wanted, 1 = abandoned.
class ReadTicket {
 public:
  // Any thread.
  void Abandon() { abandoned_.store(1); }
  bool Abandoned() const { return abandoned_.load() != 0; }

 private:
  std::atomic<int32_t> abandoned_{0};
};

class AbandonableDrives final : public DriveSource {
 public:
  // `drives` must outlive this object.
  AbandonableDrives(DriveSource& drives, std::shared_ptr<const ReadTicket> ticket)
      : drives_(drives), ticket_(std::move(ticket)) {}

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override {
    return drives_.VolumeHoldsDirectory(drive, directory);
  }

 private:
  DriveSource& drives_;
  std::shared_ptr<const ReadTicket> ticket_;
};

}  // namespace quorvane::ui
