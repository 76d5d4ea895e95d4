#include "held_drives.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "volume/fat_params.h"

namespace quorvane::testing {
namespace {

class HeldDevice final : public BlockDevice {
 public:
  HeldDevice(std::unique_ptr<BlockDevice> inner, HeldDrives& drives)
      : inner_(std::move(inner)), drives_(drives) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    drives_.BeforeRead(offset, out.size());
    return inner_->ReadAt(offset, out);
  }

 private:
  std::unique_ptr<BlockDevice> inner_;
  HeldDrives& drives_;
};

}  // namespace

HeldDrives::HeldDrives(char letter, const std::string& path) {
  table_.Map(letter, path);
  std::vector<uint8_t> boot(512);
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(boot.data()), 512)) throw std::runtime_error("no boot sector");
  FatParams params;
  params.ParseBootSector(boot);
  data_start_ = uint64_t{params.FirstDataSector()} * 512;
}

void HeldDrives::HoldNextDataRead(size_t longer_than) {
  std::lock_guard lock(mutex_);
  armed_ = true;
  longer_than_ = longer_than;
}

void HeldDrives::Release() {
  std::lock_guard lock(mutex_);
  armed_ = false;
  changed_.notify_all();
}

bool HeldDrives::WaitUntilHeld(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return held_; });
}

void HeldDrives::BeforeRead(uint64_t offset, size_t length) {
  if (offset < data_start_) return;
  std::unique_lock lock(mutex_);
  if (!armed_ || length <= longer_than_) return;
  held_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] { return !armed_; });
  held_ = false;
}

std::unique_ptr<BlockDevice> HeldDrives::OpenDrive(int32_t drive) {
  std::unique_ptr<BlockDevice> inner = table_.OpenDrive(drive);
  if (!inner) return nullptr;
  return std::make_unique<HeldDevice>(std::move(inner), *this);
}

}  // namespace quorvane::testing
