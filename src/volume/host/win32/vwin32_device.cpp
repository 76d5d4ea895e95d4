#include "volume/host/win32/vwin32_device.h"

#include <windows.h>

#include <algorithm>
#include <cassert>

#include "volume/host/sector_reader.h"
#include "volume/host/win32/vwin32_packets.h"

namespace quorvane {

namespace {

// VWIN32 belongs to the Windows 95/98 family, which runs 32-bit programs
// only, and its packet holds 32-bit addresses. A 64-bit program can never
// meet the device, so it does not look for it and goes to the volume file.
constexpr bool kDeviceRouteExists = sizeof(void*) == 4;

uint32_t Address32(const void* pointer) {
  const auto address = reinterpret_cast<uintptr_t>(pointer);
  assert(address <= UINT32_MAX);  // true wherever kDeviceRouteExists holds
  return static_cast<uint32_t>(address);
}

}  // namespace

std::unique_ptr<Vwin32Device> Vwin32Device::Open(int32_t drive) {
  if (!kDeviceRouteExists) return nullptr;
  HANDLE handle = CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<Vwin32Device>(new Vwin32Device(handle, drive));
}

Vwin32Device::~Vwin32Device() { CloseHandle(static_cast<HANDLE>(handle_)); }

int Vwin32Device::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  assert(offset % kSectorSize == 0 && out.size() % kSectorSize == 0);
  uint64_t sector = offset / kSectorSize;
  size_t done = 0;
  // One packet carries at most 65,535 sectors; a longer run takes several.
  while (done < out.size()) {
    const auto count = static_cast<uint32_t>(
        std::min<uint64_t>((out.size() - done) / kSectorSize, vwin32::kMaxSectorsPerPacket));
    if (sector + count - 1 > UINT32_MAX) return kReadErrorWithoutNumber;
    vwin32::DiskIoPacket packet = vwin32::MakeReadPacket(
        static_cast<uint32_t>(sector), static_cast<uint16_t>(count), Address32(out.data() + done));
    vwin32::RegisterBlock block = vwin32::MakeReadRegisters(Address32(&packet.bytes), drive_);
    DWORD returned = 0;
    if (!DeviceIoControl(static_cast<HANDLE>(handle_), vwin32::kDiocDosDriveInfo, block.bytes.data(),
                         sizeof block.bytes, block.bytes.data(), sizeof block.bytes, &returned,
                         nullptr) ||
        vwin32::ReadFailed(block))
      return kReadErrorWithoutNumber;
    sector += count;
    done += static_cast<size_t>(count) * kSectorSize;
  }
  return 0;
}

}  // namespace quorvane
