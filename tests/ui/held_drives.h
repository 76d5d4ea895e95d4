#pragma once
// A drive table whose volume can stop a worker at its next read of the data
// area, until the test lets it go. The volume and the engine stay the real
// ones.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "volume/drive_table.h"

namespace quorvane::testing {

class HeldDrives final : public DriveSource {
 public:
  // Maps `letter` to the image at `path` and works out its data area.
  HeldDrives(char letter, const std::string& path);

  // The next read of the data area longer than `longer_than` bytes (a
  // file's copy rather than a directory cluster, say) waits until Release().
  void HoldNextDataRead(size_t longer_than = 0);
  void Release();
  bool WaitUntilHeld(int timeout_ms = 20000);

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override {
    return table_.VolumeHoldsDirectory(drive, directory);
  }
  void BeforeRead(uint64_t offset, size_t length);  // called by the devices

 private:
  DriveTable table_;
  uint64_t data_start_ = 0;
  size_t longer_than_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool held_ = false;
};

}  // namespace quorvane::testing
