#pragma once
// A drive table whose volume can stop a worker at its next read of the data
// area, until the test lets it go. The volume and the engine stay the real
// ones.
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "volume/host/drive_table.h"
#include "volume/format/fat_params.h"

namespace quorvane::testing {

class HeldDrives final : public DriveSource {
 public:
  // Maps `letter` to the image at `path` and works out its data area.
  HeldDrives(char letter, const std::string& path) {
    table_.Map(letter, path);
    std::vector<uint8_t> boot(512);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(boot.data()), 512)) throw std::runtime_error("no boot sector");
    const auto params = FatParams::FromBootSector(boot, DriveNumber(letter));
    if (!params) throw std::runtime_error("no FAT32 volume");
    data_start_ = uint64_t{params->FirstDataSector()} * 512;
  }

  // The next read of the data area longer than `longer_than` bytes (a
  // file's copy rather than a directory cluster, say) waits until Release().
  void HoldNextDataRead(size_t longer_than = 0) {
    std::lock_guard lock(mutex_);
    armed_ = true;
    longer_than_ = longer_than;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    armed_ = false;
    changed_.notify_all();
  }
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return held_; });
  }

  // The table behind it, as the wizard lists it.
  DriveTable& table() { return table_; }

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override {
    std::unique_ptr<BlockDevice> inner = table_.OpenDrive(drive);
    return inner ? std::make_unique<Device>(std::move(inner), *this) : nullptr;
  }
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override {
    return table_.VolumeHoldsDirectory(drive, directory);
  }

 private:
  class Device final : public BlockDevice {
   public:
    Device(std::unique_ptr<BlockDevice> inner, HeldDrives& drives)
        : inner_(std::move(inner)), drives_(drives) {}
    int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
      drives_.BeforeRead(offset, out.size());
      return inner_->ReadAt(offset, out);
    }

   private:
    std::unique_ptr<BlockDevice> inner_;
    HeldDrives& drives_;
  };

  void BeforeRead(uint64_t offset, size_t length) {
    if (offset < data_start_) return;
    std::unique_lock lock(mutex_);
    if (!armed_ || length <= longer_than_) return;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !armed_; });
    held_ = false;
  }

  DriveTable table_;
  uint64_t data_start_ = 0;
  size_t longer_than_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool held_ = false;
};

}  // namespace quorvane::testing
