#pragma once
// A drive table whose volumes, once held, do not open until the test lets
// them go: the opening thread really blocks, as a worker does while the
// desktop asks for a password to open a device (UDisks2 and polkit).
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "volume/host/drive_table.h"

namespace quorvane::testing {

class LatchedDrives final : public DriveSource {
 public:
  DriveTable& table() { return table_; }

  // Every open from now on waits until Release().
  void Hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  // Until `count` opens have come to the latch since the table was made.
  bool WaitUntilLatched(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return latched_ >= count; });
  }
  int Latched() {
    std::lock_guard lock(mutex_);
    return latched_;
  }
  // Opens that have returned, held or not.
  int Returned() {
    std::lock_guard lock(mutex_);
    return returned_;
  }

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override {
    {
      std::unique_lock lock(mutex_);
      if (held_) {
        ++latched_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !held_; });
      }
    }
    auto device = table_.OpenDrive(drive);
    std::lock_guard lock(mutex_);
    ++returned_;
    return device;
  }
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override {
    return table_.VolumeHoldsDirectory(drive, directory);
  }

 private:
  DriveTable table_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  int latched_ = 0;
  int returned_ = 0;
};

}  // namespace quorvane::testing
