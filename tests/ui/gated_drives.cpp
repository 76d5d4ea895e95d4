#include "gated_drives.h"

#include <chrono>
#include <fstream>
#include <stdexcept>

namespace quorvane::testing {
namespace {

class GatedDevice final : public BlockDevice {
 public:
  GatedDevice(std::unique_ptr<BlockDevice> inner, GatedDrives& gate)
      : inner_(std::move(inner)), gate_(gate) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    gate_.PassGate(offset, out.size());
    return inner_->ReadAt(offset, out);
  }

 private:
  std::unique_ptr<BlockDevice> inner_;
  GatedDrives& gate_;
};

uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

}  // namespace

GatedDrives::GatedDrives(char letter, const std::string& path) {
  table_.Map(letter, path);
  unsigned char boot[512] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(boot), sizeof boot)) throw std::runtime_error("no boot sector");
  const uint32_t bytes_per_sector = Le(boot + 11, 2);
  const uint32_t reserved = Le(boot + 14, 2);
  const uint32_t fats = boot[16];
  const uint32_t fat_sectors = Le(boot + 36, 4);
  cluster_bytes_ = bytes_per_sector * boot[13];
  data_start_ = uint64_t(reserved + fats * fat_sectors) * bytes_per_sector;
}

void GatedDrives::CloseGate() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

void GatedDrives::OpenGate() {
  std::lock_guard lock(mutex_);
  closed_ = false;
  changed_.notify_all();
}

bool GatedDrives::WaitUntilHeld(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return held_; });
}

void GatedDrives::PassGate(uint64_t offset, size_t length) {
  if (offset < data_start_ || length <= cluster_bytes_) return;
  std::unique_lock lock(mutex_);
  if (!closed_) return;
  held_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] { return !closed_; });
  held_ = false;
}

std::unique_ptr<BlockDevice> GatedDrives::OpenDrive(int32_t drive) {
  std::unique_ptr<BlockDevice> inner = table_.OpenDrive(drive);
  if (!inner) return nullptr;
  return std::make_unique<GatedDevice>(std::move(inner), *this);
}

bool GatedDrives::VolumeHoldsDirectory(int32_t drive, const std::string& directory) {
  return table_.VolumeHoldsDirectory(drive, directory);
}

}  // namespace quorvane::testing
