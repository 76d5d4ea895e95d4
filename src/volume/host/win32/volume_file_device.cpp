#include "volume/host/win32/volume_file_device.h"

#include <windows.h>

#include <algorithm>
#include <cassert>

#include "volume/host/sector_reader.h"

namespace quorvane {

namespace {

// Reads on a volume handle bypass the cache: the buffer must meet the
// device's alignment, which is never stricter than 512 bytes. A caller's
// buffer that is not so aligned is read through a page-aligned scratch block
// of this size, one block at a time.
constexpr size_t kScratchBytes = 1 << 20;
constexpr uintptr_t kBufferAlignment = 512;

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

int LastError() {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<int>(error) : ERROR_READ_FAULT;
}

}  // namespace

std::string VolumeFileDevice::VolumePath(char letter) {
  return std::string("\\\\.\\") + letter + ':';
}

std::unique_ptr<VolumeFileDevice> VolumeFileDevice::Open(const std::string& path) {
  // Read access only: the volume is never written. Others may keep it open
  // for reading and writing, as a mounted volume always is.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<VolumeFileDevice>(new VolumeFileDevice(handle));
}

VolumeFileDevice::~VolumeFileDevice() {
  if (scratch_) VirtualFree(scratch_, 0, MEM_RELEASE);
  CloseHandle(AsHandle(handle_));
}

std::optional<uint64_t> VolumeFileDevice::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

uint8_t* VolumeFileDevice::Scratch() {
  if (!scratch_)
    scratch_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, kScratchBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  return scratch_;
}

int VolumeFileDevice::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  assert(offset % kSectorSize == 0 && out.size() % kSectorSize == 0);
  if (reinterpret_cast<uintptr_t>(out.data()) % kBufferAlignment == 0)
    return ReadDirect(offset, out);
  uint8_t* scratch = Scratch();
  if (!scratch) return ERROR_NOT_ENOUGH_MEMORY;
  for (size_t done = 0; done < out.size();) {
    const size_t chunk = std::min(out.size() - done, kScratchBytes);
    if (const int error = ReadDirect(offset + done, {scratch, chunk})) return error;
    std::copy_n(scratch, chunk, out.data() + done);
    done += chunk;
  }
  return 0;
}

// `out` is aligned for the device. The position is a full 64-bit offset:
// sectors past 2 GiB and 4 GiB are reached as they are.
int VolumeFileDevice::ReadDirect(uint64_t offset, std::span<uint8_t> out) {
  for (size_t done = 0; done < out.size();) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset + done);
    if (!SetFilePointerEx(AsHandle(handle_), position, nullptr, FILE_BEGIN)) return LastError();
    // ReadFile takes a 32-bit count; stay well below it and on whole sectors.
    const auto want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), out.data() + done, want, &got, nullptr)) return LastError();
    // The volume ended before the request did.
    if (got != want) return ERROR_HANDLE_EOF;
    done += got;
  }
  return 0;
}

}  // namespace quorvane
