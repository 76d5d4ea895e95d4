#include "volume/sector_reader.h"

#include <cassert>
#include <string>

namespace quorvane {

SectorReader::SectorReader(DriveSource& drives, MessageBoxHost& boxes, ReaderVariant variant)
    : drives_(drives), boxes_(boxes), variant_(variant) {}

BlockDevice* SectorReader::Device(int32_t drive) {
  if (device_ && open_drive_ == drive) return device_.get();
  device_ = drives_.OpenDrive(drive);
  open_drive_ = device_ ? drive : 0;
  if (!device_) boxes_.ShowMessageBox(kCreateFileFailed, std::nullopt, kMbOk);
  return device_.get();
}

std::optional<SectorBuffer> SectorReader::ReadSectors(int32_t drive, uint32_t first,
                                                      uint32_t count) {
  SectorBuffer buffer(static_cast<size_t>(count) * kSectorSize);
  if (!ReadInto(drive, first, count, buffer)) return std::nullopt;
  return buffer;
}

bool SectorReader::ReadInto(int32_t drive, uint32_t first, [[maybe_unused]] uint32_t count,
                            std::span<uint8_t> out,
                            bool quiet) {
  assert(out.size() == static_cast<size_t>(count) * kSectorSize);
  BlockDevice* device = Device(drive);
  if (!device) return false;
  const int error = device->ReadAt(static_cast<uint64_t>(first) * kSectorSize, out);
  if (error == 0) return true;
  if (!quiet && variant_ == ReaderVariant::kEngine && device->ReportsReadErrors())
    boxes_.ShowMessageBox(std::to_string(error), std::string(kReadingSectorsFailed), kMbOk);
  return false;
}

}  // namespace quorvane
