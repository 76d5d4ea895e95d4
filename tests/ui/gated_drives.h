#pragma once
// A drive table whose volumes stop a worker at a chosen moment: the first
// read of more than one cluster from the data area (the copy of a file)
// waits until the test opens the gate. Everything else reads straight
// through, so the volume and the engine are the real ones.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "volume/drive_table.h"

namespace quorvane::testing {

class GatedDrives final : public DriveSource {
 public:
  // Maps `letter` to the image at `path` and works out its data area.
  GatedDrives(char letter, const std::string& path);

  // Close before a run: its copy will stop at the gate.
  void CloseGate();
  void OpenGate();
  // Waits (up to `timeout_ms`) until a copy stands at the closed gate.
  bool WaitUntilHeld(int timeout_ms = 20000);

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override;

  // Called by the devices: waits at the gate when the read is a copy's.
  void PassGate(uint64_t offset, size_t length);

 private:
  DriveTable table_;
  uint64_t data_start_ = 0;
  uint32_t cluster_bytes_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
  bool held_ = false;
};

}  // namespace quorvane::testing
