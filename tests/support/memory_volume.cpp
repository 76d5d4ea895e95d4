#include "support/memory_volume.h"

#include <cerrno>
#include <cstring>

#include "volume/drive_table.h"
#include "volume/posix_block_device.h"

namespace quorvane::testing {

int MemoryBlockDevice::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  const auto& bytes = *bytes_;
  if (offset > bytes.size() || out.size() > bytes.size() - offset) {
    // Like pread on an image file: what exists is read, then the end fails.
    if (offset < bytes.size())
      std::memcpy(out.data(), bytes.data() + offset, bytes.size() - offset);
    return EIO;
  }
  std::memcpy(out.data(), bytes.data() + offset, out.size());
  return 0;
}

struct Fault {
  uint64_t first_byte;
  uint64_t end_byte;
  int error;
};

struct MemoryDriveSource::Drive {
  std::shared_ptr<const std::vector<uint8_t>> bytes;  // either these bytes
  std::string file;                                   // or this image file
  std::vector<Fault> faults;
  bool fail_open = false;
  bool reports_errors = true;
  bool holds_directory = false;
  // Counters, under the source's mutex.
  size_t opens = 0;
  uint64_t bytes_read = 0;
  std::vector<ReadRecord> reads;
  std::vector<std::string> holds_queries;
};

namespace {

// Applies the drive's faults and counts around the real device.
class CountingDevice final : public BlockDevice {
 public:
  CountingDevice(std::unique_ptr<BlockDevice> inner, std::shared_ptr<MemoryDriveSource::Drive> drive,
                 std::mutex& mutex)
      : inner_(std::move(inner)), drive_(std::move(drive)), mutex_(mutex) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    int fault = 0;
    {
      std::lock_guard lock(mutex_);
      drive_->reads.push_back({offset, out.size()});
      drive_->bytes_read += out.size();
      for (const Fault& f : drive_->faults)
        if (offset < f.end_byte && offset + out.size() > f.first_byte) {
          fault = f.error;
          break;
        }
    }
    if (fault != 0) return fault;
    return inner_->ReadAt(offset, out);
  }

  bool ReportsReadErrors() const override {
    std::lock_guard lock(mutex_);
    return drive_->reports_errors;
  }

 private:
  std::unique_ptr<BlockDevice> inner_;
  std::shared_ptr<MemoryDriveSource::Drive> drive_;
  std::mutex& mutex_;
};

}  // namespace

MemoryDriveSource::MemoryDriveSource() = default;
MemoryDriveSource::~MemoryDriveSource() = default;

MemoryDriveSource::Drive* MemoryDriveSource::Find(char letter) const {
  auto it = drives_.find(DriveNumber(letter));
  return it == drives_.end() ? nullptr : it->second.get();
}

MemoryDriveSource::Drive& MemoryDriveSource::Get(char letter) {
  auto& slot = drives_[DriveNumber(letter)];
  if (!slot) slot = std::make_shared<Drive>();
  return *slot;
}

MemoryDriveSource& MemoryDriveSource::MapBytes(char letter, std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  Drive& drive = Get(letter);
  drive.bytes = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  drive.file.clear();
  return *this;
}

MemoryDriveSource& MemoryDriveSource::MapFile(char letter, const std::string& path) {
  std::lock_guard lock(mutex_);
  Drive& drive = Get(letter);
  drive.bytes.reset();
  drive.file = path;
  return *this;
}

MemoryDriveSource& MemoryDriveSource::FailSectors(char letter, uint32_t first, uint32_t count,
                                                  int error) {
  std::lock_guard lock(mutex_);
  Get(letter).faults.push_back({uint64_t{first} * 512, (uint64_t{first} + count) * 512, error});
  return *this;
}

MemoryDriveSource& MemoryDriveSource::FailOpen(char letter, bool fail) {
  std::lock_guard lock(mutex_);
  Get(letter).fail_open = fail;
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

size_t MemoryDriveSource::Opens(char letter) const {
  std::lock_guard lock(mutex_);
  const Drive* drive = Find(letter);
  return drive ? drive->opens : 0;
}

size_t MemoryDriveSource::Reads(char letter) const {
  std::lock_guard lock(mutex_);
  const Drive* drive = Find(letter);
  return drive ? drive->reads.size() : 0;
}

uint64_t MemoryDriveSource::BytesRead(char letter) const {
  std::lock_guard lock(mutex_);
  const Drive* drive = Find(letter);
  return drive ? drive->bytes_read : 0;
}

std::vector<ReadRecord> MemoryDriveSource::ReadLog(char letter) const {
  std::lock_guard lock(mutex_);
  const Drive* drive = Find(letter);
  return drive ? drive->reads : std::vector<ReadRecord>{};
}

std::vector<std::string> MemoryDriveSource::HoldsQueries(char letter) const {
  std::lock_guard lock(mutex_);
  const Drive* drive = Find(letter);
  return drive ? drive->holds_queries : std::vector<std::string>{};
}

void MemoryDriveSource::ResetCounters() {
  std::lock_guard lock(mutex_);
  for (auto& [number, drive] : drives_) {
    drive->opens = 0;
    drive->bytes_read = 0;
    drive->reads.clear();
    drive->holds_queries.clear();
  }
}

std::unique_ptr<BlockDevice> MemoryDriveSource::OpenDrive(int32_t drive) {
  std::shared_ptr<Drive> entry;
  std::string file;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  {
    std::lock_guard lock(mutex_);
    auto it = drives_.find(drive);
    if (it == drives_.end() || it->second->fail_open) return nullptr;
    entry = it->second;
    if (!entry->bytes && entry->file.empty()) return nullptr;
    ++entry->opens;
    file = entry->file;
    bytes = entry->bytes;
  }
  std::unique_ptr<BlockDevice> inner;
  if (file.empty())
    inner = std::make_unique<MemoryBlockDevice>(std::move(bytes));
  else
    inner = PosixBlockDevice::Open(file);
  if (!inner) return nullptr;
  return std::make_unique<CountingDevice>(std::move(inner), std::move(entry), mutex_);
}

bool MemoryDriveSource::VolumeHoldsDirectory(int32_t drive, const std::string& directory) {
  std::lock_guard lock(mutex_);
  auto it = drives_.find(drive);
  if (it == drives_.end()) return false;
  it->second->holds_queries.push_back(directory);
  return it->second->holds_directory;
}

}  // namespace quorvane::testing
