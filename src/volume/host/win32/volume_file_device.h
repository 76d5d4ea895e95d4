#pragma once
// The volume-file route of the Windows NT family: the drive's volume opened
// as the file \\.\X: and read at 64-bit byte offsets. Serves a volume image
// file the same way. Windows only.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "volume/host/block_device.h"

namespace quorvane {

class VolumeFileDevice final : public BlockDevice {
 public:
  // "\\.\X:" for drive letter X.
  static std::string VolumePath(char letter);
  // The volume (VolumePath) or image file at `path`, or nullptr when it
  // cannot be opened.
  static std::unique_ptr<VolumeFileDevice> Open(const std::string& path);
  ~VolumeFileDevice() override;
  VolumeFileDevice(const VolumeFileDevice&) = delete;
  VolumeFileDevice& operator=(const VolumeFileDevice&) = delete;

  // `offset` and the size of `out` are whole sectors. Returns 0, the
  // system's error number of the failed read, or ERROR_HANDLE_EOF when the
  // volume ends before `out` is full.
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  // An image file's size; none for a volume (\\.\X:).
  std::optional<uint64_t> Size() const override;

 private:
  explicit VolumeFileDevice(void* handle) : handle_(handle) {}
  int ReadDirect(uint64_t offset, std::span<uint8_t> out);
  uint8_t* Scratch();

  void* handle_;              // HANDLE, kept out of this header with <windows.h>
  uint8_t* scratch_ = nullptr;  // page-aligned bounce buffer, made on first need
};

}  // namespace quorvane
