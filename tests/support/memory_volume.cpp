#include "support/memory_volume.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "volume/host/drive_table.h"

namespace quorvane::testing {

using Runs = std::map<uint32_t, std::vector<uint8_t>>;

struct Fault {
  uint64_t first_byte, end_byte;
  int error;
};

struct MemoryDriveSource::Drive {
  uint64_t size = 0;
  std::shared_ptr<const Runs> runs;  // byte runs by their first sector; zeros between
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
    std::lock_guard lock(mutex_);
    const Drive& d = *drive_;
    drive_->reads.push_back({offset, out.size()});
    const int no_number = kReadErrorWithoutNumber;
    for (const Fault& f : d.faults)
      if (offset < f.end_byte && offset + out.size() > f.first_byte) return d.reports_errors ? f.error : no_number;
    const uint64_t end = std::min<uint64_t>(d.size, offset + out.size());
    if (offset < end) std::memset(out.data(), 0, static_cast<size_t>(end - offset));
    // The last run starting at or before `offset`, then every run starting before `end`.
    auto it = d.runs->upper_bound(static_cast<uint32_t>(std::min<uint64_t>(offset / 512, UINT32_MAX)));
    if (it != d.runs->begin()) --it;
    for (; it != d.runs->end() && uint64_t{it->first} * 512 < end; ++it) {
      const uint64_t start = uint64_t{it->first} * 512;
      const uint64_t from = std::max(start, offset), to = std::min(start + it->second.size(), end);
      if (from < to)
        std::memcpy(out.data() + (from - offset), it->second.data() + (from - start), static_cast<size_t>(to - from));
    }
    return offset + out.size() <= d.size ? 0 : d.reports_errors ? EIO : no_number;
  }

  std::optional<uint64_t> Size() const override {
    std::lock_guard lock(mutex_);
    return drive_->size;
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
  using Drive = MemoryDriveSource::Drive;
  std::shared_ptr<Drive> drive_;
  std::mutex& mutex_;
};

}  // namespace

MemoryDriveSource::MemoryDriveSource() = default;
MemoryDriveSource::~MemoryDriveSource() = default;

template <class Change>
MemoryDriveSource& MemoryDriveSource::Set(char letter, Change change) {
  std::lock_guard lock(mutex_);
  auto& slot = drives_[DriveNumber(letter)];
  if (!slot) slot = std::make_shared<Drive>();
  change(*slot);
  return *this;
}

MemoryDriveSource& MemoryDriveSource::MapBytes(char letter, std::vector<uint8_t> bytes) {
  const uint64_t size = bytes.size();
  Runs runs;
  runs.emplace(0, std::move(bytes));
  return MapSparse(letter, size, std::move(runs));
}

MemoryDriveSource& MemoryDriveSource::MapSparse(char letter, uint64_t size, Runs sectors) {
  auto runs = std::make_shared<const Runs>(std::move(sectors));
  return Set(letter, [&](Drive& d) { d.size = size, d.runs = std::move(runs); });
}

MemoryDriveSource& MemoryDriveSource::FailSectors(char letter, uint32_t first, uint32_t count, int error) {
  return Set(letter, [&](Drive& d) { d.faults.push_back({uint64_t{first} * 512, (uint64_t{first} + count) * 512, error}); });
}

MemoryDriveSource& MemoryDriveSource::SetReportsReadErrors(char letter, bool reports) {
  return Set(letter, [&](Drive& d) { d.reports_errors = reports; });
}

MemoryDriveSource& MemoryDriveSource::SetHoldsDirectory(char letter, bool holds) {
  return Set(letter, [&](Drive& d) { d.holds_directory = holds; });
}

MemoryDriveSource& MemoryDriveSource::SetIdentityFromPath(char letter, std::string path) {
  return Set(letter, [&](Drive& d) { d.identity_path = std::move(path); });
}

std::vector<ReadRecord> MemoryDriveSource::ReadLog(char letter) const {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(DriveNumber(letter));
  return it == drives_.end() ? std::vector<ReadRecord>{} : it->second->reads;
}

std::unique_ptr<BlockDevice> MemoryDriveSource::OpenDrive(int32_t drive) {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(drive);
  if (it == drives_.end() || !it->second->runs) return nullptr;
  return std::make_unique<MemoryDevice>(it->second, mutex_);
}

bool MemoryDriveSource::VolumeHoldsDirectory(int32_t drive, const std::string&) {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(drive);
  return it != drives_.end() && it->second->holds_directory;
}

}  // namespace quorvane::testing
