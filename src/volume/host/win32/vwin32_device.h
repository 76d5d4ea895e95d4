#pragma once
// The device-control route of the Windows 95/98 family: sectors read through
// the VWIN32 device with Int 21h function 7305h. Windows only.
#include <cstdint>
#include <memory>

#include "volume/host/block_device.h"

namespace quorvane {

class Vwin32Device final : public BlockDevice {
 public:
  // The device for `drive` (1 = A:), or nullptr when this system has no
  // VWIN32 device: every NT-family system, and every 64-bit program.
  static std::unique_ptr<Vwin32Device> Open(int32_t drive);
  ~Vwin32Device() override;
  Vwin32Device(const Vwin32Device&) = delete;
  Vwin32Device& operator=(const Vwin32Device&) = delete;

  // `offset` and the size of `out` are whole sectors. This route tells
  // nobody why a read failed: every failure is kReadErrorWithoutNumber.
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  Vwin32Device(void* handle, int32_t drive) : handle_(handle), drive_(drive) {}
  void* handle_;  // HANDLE, kept out of this header with <windows.h>
  int32_t drive_;
};

}  // namespace quorvane
