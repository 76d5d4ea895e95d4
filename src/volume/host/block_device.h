#pragma once
// A volume as the sector reader sees it: bytes at 64-bit offsets, read only.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

// Which file of the host a volume or an output file is: its file system's
// device and its inode, and for a block device the device it stands for.
struct FileIdentity {
  uint64_t device = 0;       // st_dev: the file system holding the file
  uint64_t inode = 0;        // st_ino
  bool isBlockDevice = false;
  uint64_t blockDevice = 0;  // st_rdev of a block device

  // Whether writing a file with identity `output` would write into this
  // volume: the output is this very image, or lies on this block device.
  bool Holds(const FileIdentity& output) const {
    if (output.device == device && output.inode == inode) return true;
    return isBlockDevice && output.device == blockDevice;
  }
};

inline constexpr int kReadErrorWithoutNumber = -1;

// Bytes of a volume as they lie in a host file: an open descriptor and the
// offset in it. The host may copy them into another file itself.
struct HostFileRange {
  int fd = -1;
  uint64_t offset = 0;
};

class BlockDevice {
 public:
  virtual ~BlockDevice() = default;
  // Fills `out` from byte `offset`. Returns 0, or the platform's error number
  // of the failed read (EIO when the volume ends before `out` is full), or
  // kReadErrorWithoutNumber when the device does not say why.
  virtual int ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
  // The host file behind the volume, when it is one the host can name.
  virtual std::optional<FileIdentity> Identity() const { return std::nullopt; }
  // The volume's size in bytes, when the device can tell it: reads that end
  // past it fail.
  virtual std::optional<uint64_t> Size() const { return std::nullopt; }
  // Where the `length` bytes from `offset` lie in a regular host file, when
  // they all lie inside the volume and it is one.
  virtual std::optional<HostFileRange> HostRange(uint64_t /*offset*/, uint64_t /*length*/) const {
    return std::nullopt;
  }
};

// Maps drive numbers (1 = A:, 3 = C:) to volumes.
class DriveSource {
 public:
  virtual ~DriveSource() = default;
  // Opens the drive's volume for reading, or returns nullptr when the drive
  // has no volume or it cannot be opened.
  virtual std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) = 0;
  // True when the file system holding `directory` lives on the drive's own
  // volume, so that writing there could overwrite the clusters being read.
  virtual bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) = 0;
};

}  // namespace quorvane
