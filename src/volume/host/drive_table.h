#pragma once
// The drive table: which image or device stands in for each drive letter.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "volume/host/block_device.h"
#include "volume/host/disk_volumes.h"
#include "volume/path_text.h"

namespace quorvane {

class UdisksClient;

// What the source of a drive tells of its volume besides its path: UDisks2
// tells all of this; libblkid the family, label, size and place; a mapped
// path nothing (its drive is read instead, see drive_summary.h).
struct VolumeFacts {
  std::string label;                     // the file system's label, empty when it has none
  uint64_t size = 0;                     // bytes
  std::vector<std::string> mountPoints;  // where UDisks2 says the volume is mounted
  // The device's number (dev_t) as UDisks2 gives it, 0 when unknown: the
  // volume is known by it in the mount table even where this process
  // cannot see its device node.
  uint64_t deviceNumber = 0;
  std::string family;      // "FAT12", "FAT16", "FAT32", "exFAT"; empty when not told
  uint32_t partition = 0;  // the partition's number on its disk; 0 when not told or none
  uint64_t offset = 0;     // where the partition begins on its disk, in bytes
};

class DriveTable final : public DriveSource {
 public:
  // Maps `letter` (A to Z, either case) to `path`, an image file or device
  // opened with open(), read whole. False for a bad letter.
  bool Map(char letter, const std::string& path);
  // Maps `letter` to one partition of the disk or disk image at `path`: the
  // drive reads only the partition's bytes, from its first. False for a bad
  // letter.
  bool MapPartition(char letter, const std::string& path, const PartitionPlace& partition);
  // Maps `path` to the first free letter from C: on. False when none is free.
  bool MapNext(const std::string& path);

  // Maps every argument of `args`: "--drive L:=PATH", "--drive=L:=PATH", or a
  // bare PATH. Each path is opened and read once here: a disk or disk image
  // with a partition table gives a drive for each of its FAT and exFAT
  // partitions (disk_volumes.h), in table order, "--drive L:=PATH" from L:
  // on, a bare path on the next free letters; any other path (a volume, an
  // image or device with no FAT partition, one that cannot be opened) is one
  // drive. On anything else, or when a drive would be given twice or its
  // letter would lie past Z:, returns false with a message in `error`.
  bool ParseArguments(const std::vector<std::string>& args, std::string& error);

  // Adds the FAT12, FAT16, FAT32 and exFAT volumes of this machine, C:
  // onwards: those the UDisks2 daemon on the system bus reports (see
  // DiscoverThrough), or, when no UDisks2 answers, those libblkid finds on
  // the kernel's block devices, in the kernel's order, opened with open().
  void Discover();
  // Adds the FAT-family volumes `udisks` reports: IdType "vfat" (any
  // IdVersion) or "exfat", not hidden (HintIgnore), in natural order of
  // their device paths (natural_order.h), with their facts; their volumes
  // are then opened through `udisks`. False, with the reason in `why` and
  // the table unchanged, when it does not answer.
  bool DiscoverThrough(std::shared_ptr<UdisksClient> udisks, std::string& why);
  // How Discover made the table, for a line on standard error ("from
  // UDisks2 on the system bus"); empty when it did not run.
  const std::string& DiscoveryNote() const { return discovery_note_; }

  bool empty() const { return paths_.empty(); }
  // The path mapped to drive number `drive` (3 = C:), or empty.
  std::string PathOf(int32_t drive) const;
  const std::map<int32_t, std::string>& entries() const { return paths_; }
  // What the drive's source told of its volume, or nullptr (see VolumeFacts).
  const VolumeFacts* FactsOf(int32_t drive) const;
  // The partition of PathOf(drive) the drive reads, or nullptr when it
  // reads all of it.
  const PartitionPlace* PartitionOf(int32_t drive) const;
  // Whether the drive's volume is opened through UDisks2 (and may ask for a
  // password when it is).
  bool OpensThroughUdisks(int32_t drive) const { return udisks_objects_.contains(drive); }

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override;

  // Why the drive's volume could not be opened the last time it was tried
  // ("a FIFO, not an image file or block device"), or empty when that open
  // succeeded or none was tried. Front ends add it to "CreateFile () Failed !".
  std::string OpenFailure(int32_t drive) const;

 private:
  void NoteOpenResult(int32_t drive, const std::string& why);
  void NoteOpenedIdentity(int32_t drive, const std::optional<FileIdentity>& identity);
  std::optional<FileIdentity> OpenedIdentity(int32_t drive) const;
  void DiscoverWithBlkid();
  // The image file or device at `path`, opened read-only as OpenDrive opens
  // it, or nullptr with the reason in `why`.
  static std::unique_ptr<BlockDevice> OpenPath(const std::string& path, std::string& why);

  std::map<int32_t, std::string> paths_;
  std::map<int32_t, PartitionPlace> partitions_;
  std::map<int32_t, VolumeFacts> facts_;
  // Drives opened through UDisks2: their objects' paths. Set before any
  // worker starts, only read after.
  std::map<int32_t, std::string> udisks_objects_;
  std::shared_ptr<UdisksClient> udisks_;
  std::string discovery_note_;
  mutable std::mutex failures_mutex_;  // workers open drives at the same time
  std::map<int32_t, std::string> failures_;
  // What the last descriptor UDisks2 gave for a drive is, for a device node
  // this process cannot see (guarded by failures_mutex_ too).
  std::map<int32_t, FileIdentity> opened_;
};

}  // namespace quorvane
