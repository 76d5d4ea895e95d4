#include "support/memory_volume.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "volume/drive_table.h"

namespace quorvane::testing {

struct Fault {
  uint64_t first_byte;
  uint64_t end_byte;
  int error;
};

struct MemoryDriveSource::Drive {
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  // A sparse volume instead of `bytes`: its size and its nonzero sectors.
  uint64_t sparse_size = 0;
  std::shared_ptr<const std::map<uint32_t, std::vector<uint8_t>>> sparse;
  std::vector<Fault> faults;
  bool reports_errors = true;
  bool holds_directory = false;
  std::string identity_path;
  std::vector<ReadRecord> reads;  // under the source's mutex
};

namespace {

class MemoryDevice final : public BlockDevice {
 public:
  MemoryDevice(std::shared_ptr<MemoryDriveSource::Drive> drive, std::mutex& mutex)
      : drive_(std::move(drive)), mutex_(mutex) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    const int error = Read(offset, out);
    std::lock_guard lock(mutex_);
    return error == 0 || drive_->reports_errors ? error : kReadErrorWithoutNumber;
  }

  int Read(uint64_t offset, std::span<uint8_t> out) {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    std::shared_ptr<const std::map<uint32_t, std::vector<uint8_t>>> sparse;
    uint64_t sparse_size = 0;
    {
      std::lock_guard lock(mutex_);
      drive_->reads.push_back({offset, out.size()});
      for (const Fault& f : drive_->faults)
        if (offset < f.end_byte && offset + out.size() > f.first_byte) return f.error;
      bytes = drive_->bytes;
      sparse = drive_->sparse;
      sparse_size = drive_->sparse_size;
    }
    if (sparse) return ReadSparse(*sparse, sparse_size, offset, out);
    if (offset > bytes->size() || out.size() > bytes->size() - offset) {
      // Like pread on an image file: what exists is read, then the end fails.
      if (offset < bytes->size())
        std::memcpy(out.data(), bytes->data() + offset, bytes->size() - offset);
      return EIO;
    }
    std::memcpy(out.data(), bytes->data() + offset, out.size());
    return 0;
  }

  static int ReadSparse(const std::map<uint32_t, std::vector<uint8_t>>& sectors, uint64_t size,
                        uint64_t offset, std::span<uint8_t> out) {
    const uint64_t end = std::min<uint64_t>(size, offset + out.size());
    if (offset < end) std::memset(out.data(), 0, static_cast<size_t>(end - offset));
    // A sector starting before offset's own ends before it: none overlaps.
    const uint64_t first = std::min<uint64_t>(offset / 512, UINT32_MAX);
    for (auto it = sectors.lower_bound(static_cast<uint32_t>(first));
         it != sectors.end() && uint64_t{it->first} * 512 < end; ++it)
      CopySector(*it, offset, end, out);
    return offset + out.size() <= size ? 0 : EIO;
  }

  static void CopySector(const std::pair<const uint32_t, std::vector<uint8_t>>& sector, uint64_t offset,
                         uint64_t end, std::span<uint8_t> out) {
    const uint64_t first = std::max<uint64_t>(uint64_t{sector.first} * 512, offset);
    const uint64_t last = std::min<uint64_t>(uint64_t{sector.first} * 512 + sector.second.size(), end);
    if (first < last)
      std::memcpy(out.data() + (first - offset), sector.second.data() + (first - uint64_t{sector.first} * 512),
                  static_cast<size_t>(last - first));
  }

  std::optional<FileIdentity> Identity() const override {
    std::string path;
    {
      std::lock_guard lock(mutex_);
      path = drive_->identity_path;
    }
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino, false, 0};
  }

 private:
  std::shared_ptr<MemoryDriveSource::Drive> drive_;
  std::mutex& mutex_;
};

}  // namespace

MemoryDriveSource::MemoryDriveSource() = default;
MemoryDriveSource::~MemoryDriveSource() = default;

MemoryDriveSource::Drive& MemoryDriveSource::Get(char letter) {
  auto& slot = drives_[DriveNumber(letter)];
  if (!slot) slot = std::make_shared<Drive>();
  return *slot;
}

MemoryDriveSource& MemoryDriveSource::MapBytes(char letter, std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  Get(letter).bytes = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  Get(letter).sparse = nullptr;
  return *this;
}

MemoryDriveSource& MemoryDriveSource::MapSparse(char letter, uint64_t size,
                                                std::map<uint32_t, std::vector<uint8_t>> sectors) {
  std::lock_guard lock(mutex_);
  Drive& drive = Get(letter);
  drive.sparse_size = size;
  drive.sparse = std::make_shared<const std::map<uint32_t, std::vector<uint8_t>>>(std::move(sectors));
  return *this;
}

MemoryDriveSource& MemoryDriveSource::FailSectors(char letter, uint32_t first, uint32_t count,
                                                  int error) {
  std::lock_guard lock(mutex_);
  Get(letter).faults.push_back({uint64_t{first} * 512, (uint64_t{first} + count) * 512, error});
  return *this;
}

MemoryDriveSource& MemoryDriveSource::SetReportsReadErrors(char letter, bool reports) {
  std::lock_guard lock(mutex_);
  Get(letter).reports_errors = reports;
  return *this;
}

MemoryDriveSource& MemoryDriveSource::SetHoldsDirectory(char letter, bool holds) {
  std::lock_guard lock(mutex_);
  Get(letter).holds_directory = holds;
  return *this;
}

MemoryDriveSource& MemoryDriveSource::SetIdentityFromPath(char letter, std::string path) {
  std::lock_guard lock(mutex_);
  Get(letter).identity_path = std::move(path);
  return *this;
}

std::vector<ReadRecord> MemoryDriveSource::ReadLog(char letter) const {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(DriveNumber(letter));
  return it == drives_.end() ? std::vector<ReadRecord>{} : it->second->reads;
}

std::unique_ptr<BlockDevice> MemoryDriveSource::OpenDrive(int32_t drive) {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(drive);
  if (it == drives_.end() || (!it->second->bytes && !it->second->sparse)) return nullptr;
  return std::make_unique<MemoryDevice>(it->second, mutex_);
}

bool MemoryDriveSource::VolumeHoldsDirectory(int32_t drive, const std::string&) {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(drive);
  return it != drives_.end() && it->second->holds_directory;
}

}  // namespace quorvane::testing
