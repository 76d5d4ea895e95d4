#include "volume/host/sector_reader.h"

#include <cassert>

namespace quorvane {

BlockDevice* SectorReader::Device(int32_t drive) {
  if (device_ && open_drive_ == drive) return device_.get();
  device_ = drives_.OpenDrive(drive);
  open_drive_ = device_ ? drive : 0;
  return device_.get();
}

ReadResult<SectorBuffer> SectorReader::ReadSectors(int32_t drive, uint32_t first, uint32_t count) {
  SectorBuffer buffer(static_cast<size_t>(count) * kSectorSize);
  if (auto done = ReadInto(drive, first, count, buffer); !done) return Fail(done.error());
  return buffer;
}

ReadStatus SectorReader::ReadInto(int32_t drive, uint32_t first, [[maybe_unused]] uint32_t count,
                                  std::span<uint8_t> out) {
  assert(out.size() == static_cast<size_t>(count) * kSectorSize);
  BlockDevice* device = Device(drive);
  if (!device) return Fail(ReadError{ReadError::Kind::kCannotOpen, 0});
  const int error = device->ReadAt(static_cast<uint64_t>(first) * kSectorSize, out);
  if (error == 0) return ReadDone{};
  return Fail(ReadError{ReadError::Kind::kCannotRead,
                        error == kReadErrorWithoutNumber ? 0 : error});
}

}  // namespace quorvane
