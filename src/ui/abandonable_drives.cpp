#include "ui/abandonable_drives.h"

#include <cerrno>

namespace quorvane::ui {
namespace {

class AbandonableDevice final : public BlockDevice {
 public:
  AbandonableDevice(std::unique_ptr<BlockDevice> device, std::shared_ptr<const ReadTicket> ticket)
      : device_(std::move(device)), ticket_(std::move(ticket)) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (ticket_->Abandoned()) return ECANCELED;
    return device_->ReadAt(offset, out);
  }
  std::optional<FileIdentity> Identity() const override { return device_->Identity(); }

 private:
  std::unique_ptr<BlockDevice> device_;
  std::shared_ptr<const ReadTicket> ticket_;
};

}  // namespace

std::unique_ptr<BlockDevice> AbandonableDrives::OpenDrive(int32_t drive) {
  if (ticket_->Abandoned()) return nullptr;
  std::unique_ptr<BlockDevice> device = drives_.OpenDrive(drive);
  if (!device) return nullptr;
  return std::make_unique<AbandonableDevice>(std::move(device), ticket_);
}

}  // namespace quorvane::ui
