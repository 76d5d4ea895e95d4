// Partition tables: real ones written by sfdisk, read as Linux numbers them
// and as The Sleuth Kit's mmls places them; the same tables damaged byte by
// byte where no tool would write them so, each read in bounded time with no
// read outside the disk; and the partition as a volume of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/memory_volume.h"
#include "support/partitioned_image.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/host/partition_device.h"
#include "volume/host/partition_table.h"
#include "volume/host/posix_block_device.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

using ::testing::ElementsAreArray;
using testing::PartitionedImage;

constexpr uint64_t kMiB = 1024 * 1024;

// A partition as the tests compare them: number, first byte, bytes.
struct Place {
  uint32_t number;
  uint64_t offset;
  uint64_t length;
  bool operator==(const Place&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << "#" << p.number << " at " << p.offset << " +" << p.length;
}

std::vector<Place> Places(const PartitionTable& table, bool with_extended = true) {
  std::vector<Place> places;
  for (const PartitionEntry& e : table.partitions)
    if (with_extended || !e.extended) places.push_back({e.number, e.offset, e.length});
  return places;
}

std::vector<Place> SfdiskPlaces(const PartitionedImage& image) {
  std::vector<Place> places;
  for (const auto& p : image.partitions()) places.push_back({p.number, p.offset(), p.bytes()});
  return places;
}

testing::CommandOptions StdoutOnly() {
  testing::CommandOptions options;
  options.stdout_only = true;
  return options;
}

// The data partitions mmls lists ("004:  000:001   0000071680   0000079871
// 0000008192   Linux (0x83)"), in its order, as (first byte, bytes).
std::vector<std::pair<uint64_t, uint64_t>> MmlsPlaces(const std::string& image, uint32_t sector_size = 512) {
  const auto run = testing::RunCommand({"mmls", "-b", std::to_string(sector_size), image}, StdoutOnly());
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::pair<uint64_t, uint64_t>> places;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string row, slot;
    uint64_t start = 0, end = 0, length = 0;
    if (!(fields >> row >> slot >> start >> end >> length) || row.back() != ':') continue;
    if (slot == "Meta" || slot.starts_with("---")) continue;
    places.emplace_back(start * sector_size, length * sector_size);
  }
  return places;
}

std::vector<std::pair<uint64_t, uint64_t>> Spans(const std::vector<Place>& places) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const Place& p : places) spans.emplace_back(p.offset, p.length);
  return spans;
}

PartitionTable ReadImageTable(const std::string& path) {
  auto disk = PosixBlockDevice::Open(path);
  EXPECT_TRUE(disk) << path;
  return disk ? ReadPartitionTable(*disk, disk->Size().value_or(0)) : PartitionTable{};
}

TEST(PartitionTable, RealTablesAsLinuxNumbersThemAndAsMmlsPlacesThem) {
  testing::TempDir dir;
  // Primary, empty slot, extended with three logical partitions; a GPT with
  // a gap; a card formatted without a table; a disk of zeros.
  const PartitionedImage mbr(dir.File("mbr.img"), 64,
                             "label: dos\nstart=2048, size=8MiB, type=c\nstart=20480, size=4MiB, type=83\n"
                             "start=40960, type=5\nsize=2MiB, type=6\nsize=3MiB, type=b\nsize=1MiB, type=83\n");
  const PartitionedImage gpt(dir.File("gpt.img"), 48,
                             std::string("label: gpt\nsize=8MiB, type=") + testing::kBasicDataGuid + "\nstart=40960, size=4MiB, type=" +
                                 testing::kLinuxDataGuid + "\nsize=2MiB, type=" + testing::kBasicDataGuid + "\n");
  testing::RunCommandOrThrow({"mkfs.fat", "-F", "32", "-s", "1", "-C", dir.File("whole.img"), "34000"});
  testing::RunCommandOrThrow({"truncate", "-s", "4M", dir.File("zeros.img")});

  const PartitionTable from_mbr = ReadImageTable(mbr.path());
  EXPECT_EQ(from_mbr.scheme, PartitionScheme::kMbr);
  EXPECT_THAT(Places(from_mbr), ElementsAreArray(SfdiskPlaces(mbr)));
  ASSERT_EQ(from_mbr.partitions.size(), 6u);
  std::vector<uint8_t> types;
  for (const auto& e : from_mbr.partitions) types.push_back(e.mbrType);
  EXPECT_EQ(types, (std::vector<uint8_t>{0x0C, 0x83, 0x05, 0x06, 0x0B, 0x83}));
  EXPECT_TRUE(from_mbr.partitions[2].extended);
  EXPECT_EQ(Spans(Places(from_mbr, false)), MmlsPlaces(mbr.path()));

  const PartitionTable from_gpt = ReadImageTable(gpt.path());
  EXPECT_EQ(from_gpt.scheme, PartitionScheme::kGpt);
  EXPECT_FALSE(from_gpt.fromBackupGpt);
  EXPECT_THAT(Places(from_gpt), ElementsAreArray(SfdiskPlaces(gpt)));
  for (size_t i = 0; i < from_gpt.partitions.size(); ++i)
    EXPECT_EQ(GuidText(from_gpt.partitions[i].gptType), gpt.partitions()[i].type) << i;
  EXPECT_EQ(Spans(Places(from_gpt)), MmlsPlaces(gpt.path()));

  // Sector 0 of a volume without a table ends in 0x55AA too.
  for (const char* name : {"whole.img", "zeros.img"}) {
    const PartitionTable none = ReadImageTable(dir.File(name));
    EXPECT_EQ(none.scheme, PartitionScheme::kNone) << name;
    EXPECT_TRUE(none.partitions.empty()) << name;
  }
}

TEST(PartitionTable, GptOfADiskWith4096ByteSectors) {
  if (::geteuid() != 0) GTEST_SKIP() << "a loop device needs root";
  testing::TempDir dir;
  const std::string image = dir.File("4kn.img");
  testing::RunCommandOrThrow({"truncate", "-s", "64M", image});
  {
    // sfdisk writes a 4Kn disk's GPT only onto a device with such sectors.
    testing::LoopDevice loop(image, {.sector_bytes = 4096});
    if (loop.device().empty()) GTEST_SKIP() << "no loop device";
    testing::RunCommand({"sh", "-c", "printf 'label: gpt\\nsize=34MiB\\nsize=8MiB\\n' | sfdisk -q \"$0\"", loop.device()});
  }
  const PartitionTable table = ReadImageTable(image);
  EXPECT_EQ(table.scheme, PartitionScheme::kGpt);
  // sfdisk aligns to 1 MiB: LBA 256 of 4096 bytes.
  EXPECT_THAT(Places(table), ElementsAreArray({Place{1, kMiB, 34 * kMiB}, Place{2, 35 * kMiB, 8 * kMiB}}));
  EXPECT_EQ(Spans(Places(table)), MmlsPlaces(image, 4096));
}

// --- Damaged tables ------------------------------------------------------

// The bytes of a real table to damage, held in memory as the test's disk.
struct Disk {
  std::vector<uint8_t> bytes;

  uint8_t* Sector(uint64_t lba) { return bytes.data() + lba * 512; }
  std::span<uint8_t> Span(uint64_t offset, size_t size) { return std::span(bytes).subspan(offset, size); }
  // MBR or EBR slot `index` (0-3) of the sector at `lba`.
  void SetSlot(uint64_t lba, size_t index, uint8_t type, uint32_t start, uint32_t sectors, uint8_t status = 0) {
    auto slot = Span(lba * 512 + 446 + index * 16, 16);
    std::fill(slot.begin(), slot.end(), 0);
    slot[0] = status;
    slot[4] = type;
    StoreLe32(slot, 8, start);
    StoreLe32(slot, 12, sectors);
  }
  // The GPT header at `lba`: a field changed, then its CRC32 made right again.
  void SetGptField(uint64_t lba, size_t at, uint64_t value, size_t size) {
    auto header = Span(lba * 512, 512);
    for (size_t i = 0; i < size; ++i) header[at + i] = static_cast<uint8_t>(value >> (8 * i));
    FixGptHeaderCrc(lba);
  }
  void FixGptHeaderCrc(uint64_t lba) {
    auto header = Span(lba * 512, 512);
    StoreLe32(header, 16, 0);
    StoreLe32(header, 16, Crc32(header.first(std::min<size_t>(LoadLe32(header, 12), 512))));
  }
  // The GPT entry `index` of the array at LBA 2, with both headers' array CRCs made right.
  void SetGptEntry(uint32_t index, uint64_t first, uint64_t last) {
    auto entry = Span(2 * 512 + index * 128, 128);
    for (int i = 0; i < 16; ++i) entry[i] = static_cast<uint8_t>(0xA0 + i);  // any type
    for (size_t i = 0; i < 8; ++i) entry[32 + i] = static_cast<uint8_t>(first >> (8 * i));
    for (size_t i = 0; i < 8; ++i) entry[40 + i] = static_cast<uint8_t>(last >> (8 * i));
    const uint32_t crc = Crc32(Span(2 * 512, 128 * 128));
    const uint64_t backup = bytes.size() / 512 - 1;
    // The backup keeps its own copy of the array: the same change there.
    std::copy(entry.begin(), entry.end(), Span((backup - 32) * 512 + index * 128, 128).begin());
    for (uint64_t lba : {uint64_t{1}, backup}) {
      StoreLe32(Span(lba * 512, 512), 88, crc);
      FixGptHeaderCrc(lba);
    }
  }
};

struct DamageCase {
  std::string name;
  std::function<void(Disk&)> damage;
  PartitionScheme scheme;
  std::vector<Place> expected;
  bool fromBackup = false;
  // Reads of the disk at most: a chain that loops must end where it turns,
  // not at the bound.
  size_t maxReads = 2 + kMaxLogicalPartitions;
};

// Reads the damaged disk from memory: the parse must end, read inside the
// disk only, and allocate no more than its bounds.
void ExpectRead(const std::vector<uint8_t>& original, const DamageCase& c) {
  Disk disk{original};
  c.damage(disk);
  const uint64_t size = disk.bytes.size();
  testing::MemoryDriveSource source;
  source.MapBytes('C', std::move(disk.bytes));
  const PartitionTable table = ReadPartitionTable(*source.OpenDrive(3), size);
  EXPECT_EQ(table.scheme, c.scheme) << c.name;
  EXPECT_THAT(Places(table), ElementsAreArray(c.expected)) << c.name;
  EXPECT_EQ(table.fromBackupGpt, c.fromBackup) << c.name;
  const auto reads = source.ReadLog('C');
  EXPECT_LE(reads.size(), c.maxReads) << c.name;
  for (const auto& read : reads) {
    EXPECT_LE(read.offset + read.length, size) << c.name << ": a read outside the disk";
    EXPECT_LE(read.length, kMaxGptEntryArrayBytes) << c.name;
  }
}

TEST(PartitionTable, DamagedMbrAndEbrChainsAreReadInBoundedTimeInsideTheDisk) {
  testing::TempDir dir;
  // 1: 1 MiB; 2: extended from 4 MiB to 12 MiB, logicals 5, 6, 7 of 1 MiB
  // each, every EBR 1 MiB (2048 sectors) before its partition; the disk's
  // last 4 MiB free.
  const PartitionedImage image(dir.File("mbr.img"), 16,
                               "label: dos\nstart=2048, size=1MiB, type=c\nstart=8192, size=8MiB, type=5\n"
                               "start=10240, size=1MiB, type=c\nstart=14336, size=1MiB, type=6\n"
                               "start=18432, size=1MiB, type=b\n");
  const auto ebr = [&](uint32_t logical) { return image.At(logical).start - 2048; };
  const uint64_t ext = image.At(2).start, ext_end = ext + image.At(2).sectors;
  ASSERT_EQ(ebr(5), ext);
  const std::vector<uint8_t> original = testing::ReadFileBytes(image.path());
  const Place p1{1, kMiB, kMiB}, p2{2, 4 * kMiB, 8 * kMiB};
  const Place p5{5, image.At(5).offset(), kMiB}, p6{6, image.At(6).offset(), kMiB}, p7{7, image.At(7).offset(), kMiB};
  using S = PartitionScheme;
  const uint32_t disk_sectors = 16 * 2048;

  const DamageCase cases[] = {
      {"as written", [](Disk&) {}, S::kMbr, {p1, p2, p5, p6, p7}},
      {"a primary over the first", [](Disk& d) { d.SetSlot(0, 2, 0x0C, 2500, 100); }, S::kMbr, {p1, p2, p5, p6, p7}},
      {"a primary past the disk's end",
       [&](Disk& d) { d.SetSlot(0, 2, 0x0C, disk_sectors - 10, 0xFFFFFFF0); }, S::kMbr,
       {p1, p2, Place{3, (disk_sectors - 10) * 512ull, 10 * 512}, p5, p6, p7}},
      {"a primary over the extended partition", [&](Disk& d) { d.SetSlot(0, 3, 0x0C, 12000, 100); }, S::kMbr,
       {p1, p2, p5, p6, p7}},
      {"a primary at sector 0", [](Disk& d) { d.SetSlot(0, 0, 0x0C, 0, 100); }, S::kMbr, {p2, p5, p6, p7}},
      {"a primary wholly past the end", [&](Disk& d) { d.SetSlot(0, 0, 0x0C, disk_sectors, 100); }, S::kMbr,
       {p2, p5, p6, p7}},
      {"an extended partition over a primary",
       [&](Disk& d) { d.SetSlot(0, 1, 0x05, 2048 + 10, disk_sectors - 2058); }, S::kMbr, {p1}},
      {"boot code where the slots' status bytes are", [](Disk& d) { d.Sector(0)[446 + 16] = 0x33; }, S::kNone, {}},
      {"the last EBR links back to the first",
       [&](Disk& d) { d.SetSlot(ebr(7), 1, 0x05, 0, 4096); }, S::kMbr, {p1, p2, p5, p6, p7}, false, 4},
      {"an EBR links to itself",
       [&](Disk& d) { d.SetSlot(ebr(6), 1, 0x05, static_cast<uint32_t>(ebr(6) - ext), 4096); }, S::kMbr,
       {p1, p2, p5, p6}, false, 3},
      {"an EBR links backwards to the one before",
       [&](Disk& d) { d.SetSlot(ebr(7), 1, 0x05, static_cast<uint32_t>(ebr(6) - ext), 4096); }, S::kMbr,
       {p1, p2, p5, p6, p7}, false, 4},
      {"an EBR links past its extended partition",
       [&](Disk& d) { d.SetSlot(ebr(5), 1, 0x05, static_cast<uint32_t>(ext_end - ext), 4096); }, S::kMbr,
       {p1, p2, p5}},
      {"an EBR links to the disk's last sector and beyond",
       [&](Disk& d) { d.SetSlot(ebr(5), 1, 0x05, 0xFFFFFFFF, 4096); }, S::kMbr, {p1, p2, p5}},
      {"a logical partition over its own EBR, its number still taken",
       [&](Disk& d) { d.SetSlot(ebr(6), 0, 0x0C, 0, 4096); }, S::kMbr, {p1, p2, p5, p7}},
      {"a logical partition past its extended partition",
       [&](Disk& d) { d.SetSlot(ebr(7), 0, 0x0B, 2048, 0xFFFFFFF0); }, S::kMbr,
       {p1, p2, p5, p6, Place{7, p7.offset, ext_end * 512 - p7.offset}}},
      {"a logical partition over the next one and its EBR",
       [&](Disk& d) { d.SetSlot(ebr(5), 0, 0x0C, 2048, 3 * 2048); }, S::kMbr,
       {p1, p2, Place{5, p5.offset, 3 * kMiB}, p7}},
      {"an EBR without its signature ends the chain", [&](Disk& d) { d.Sector(ebr(6))[510] = 0; }, S::kMbr,
       {p1, p2, p5}},
      {"a chain of 1,000 EBRs, each a sector further",
       [&](Disk& d) {
         for (uint32_t k = 0; k < 1000; ++k) {
           d.SetSlot(ext + 2 * k, 0, 0x0C, 1, 1);
           d.SetSlot(ext + 2 * k, 1, 0x05, 2 * (k + 1), 2);
           d.Sector(ext + 2 * k)[510] = 0x55, d.Sector(ext + 2 * k)[511] = 0xAA;
         }
       },
       S::kMbr, [&] {
         std::vector<Place> places{p1, p2};
         for (uint32_t k = 0; k < kMaxLogicalPartitions; ++k)
           places.push_back({5 + k, (ext + 2 * k + 1) * 512, 512});
         return places;
       }()},
  };
  for (const DamageCase& c : cases) ExpectRead(original, c);
}

TEST(PartitionTable, DamagedGptHeadersAndEntriesAreReadInBoundedTimeInsideTheDisk) {
  testing::TempDir dir;
  const PartitionedImage image(dir.File("gpt.img"), 8,
                               std::string("label: gpt\nsize=1MiB, type=") + testing::kBasicDataGuid + "\nsize=2MiB\nsize=1MiB\n");
  const std::vector<uint8_t> original = testing::ReadFileBytes(image.path());
  const uint64_t backup = original.size() / 512 - 1;
  const Place p1{1, kMiB, kMiB}, p2{2, 2 * kMiB, 2 * kMiB}, p3{3, 4 * kMiB, kMiB};
  using S = PartitionScheme;
  // Header fields: entry array LBA at 72, entry count at 80, entry size at 84, first usable LBA at 40.
  const auto both = [&](size_t at, uint64_t value, size_t size) {
    return [=](Disk& d) {
      d.SetGptField(1, at, value, size);
      d.SetGptField(backup, at, value, size);
    };
  };
  const DamageCase cases[] = {
      {"as written", [](Disk&) {}, S::kGpt, {p1, p2, p3}},
      {"the primary header's CRC32 wrong", [](Disk& d) { d.Sector(1)[16] ^= 1; }, S::kGpt, {p1, p2, p3}, true},
      {"the primary entry array's CRC32 wrong", [](Disk& d) { d.Sector(2)[200] ^= 1; }, S::kGpt, {p1, p2, p3}, true},
      {"the primary header gone", [](Disk& d) { std::fill_n(d.Sector(1), 512, 0); }, S::kGpt, {p1, p2, p3}, true},
      {"2^32 - 1 entries", [](Disk& d) { d.SetGptField(1, 80, 0xFFFFFFFF, 4); }, S::kGpt, {p1, p2, p3}, true},
      {"entries of 2 GiB", [](Disk& d) { d.SetGptField(1, 84, 0x80000000, 4); }, S::kGpt, {p1, p2, p3}, true},
      {"entries of 0 bytes", [](Disk& d) { d.SetGptField(1, 84, 0, 4); }, S::kGpt, {p1, p2, p3}, true},
      {"entries of 100 bytes", [](Disk& d) { d.SetGptField(1, 84, 100, 4); }, S::kGpt, {p1, p2, p3}, true},
      {"a header size past its sector", [](Disk& d) { d.SetGptField(1, 12, 4096, 4); }, S::kGpt, {p1, p2, p3}, true},
      {"the entry array past the disk's end", [&](Disk& d) { d.SetGptField(1, 72, backup, 8); }, S::kGpt,
       {p1, p2, p3}, true},
      {"the entry array over its own header", [](Disk& d) { d.SetGptField(1, 72, 1, 8); }, S::kGpt, {p1, p2, p3}, true},
      {"a header that names another LBA as its own", [](Disk& d) { d.SetGptField(1, 24, 7, 8); }, S::kGpt,
       {p1, p2, p3}, true},
      {"2^32 - 1 entries in both headers", both(80, 0xFFFFFFFF, 4), S::kGpt, {}},
      {"both headers gone",
       [&](Disk& d) {
         std::fill_n(d.Sector(1), 512, 0);
         std::fill_n(d.Sector(backup), 512, 0);
       },
       S::kGpt, {}},
      {"an entry over another", [](Disk& d) { d.SetGptEntry(3, 4096 + 100, 4096 + 200); }, S::kGpt, {p1, p2, p3}},
      {"an entry past the disk's end", [&](Disk& d) { d.SetGptEntry(3, backup - 40, 1ull << 40); }, S::kGpt,
       {p1, p2, p3, Place{4, (backup - 40) * 512, 41 * 512}}},
      {"an entry whose sectors overflow 64 bits", [](Disk& d) { d.SetGptEntry(3, 1ull << 60, ~0ull); }, S::kGpt,
       {p1, p2, p3}},
      {"an entry before the first usable LBA", [](Disk& d) { d.SetGptEntry(3, 10, 20); }, S::kGpt, {p1, p2, p3}},
      {"an entry at LBA 0 with the first usable LBA 0",
       [&](Disk& d) {
         d.SetGptEntry(3, 0, 20);
         both(40, 0, 8)(d);
       },
       S::kGpt, {p1, p2, p3}},
      {"an entry ending before it starts", [](Disk& d) { d.SetGptEntry(3, 12000, 11000); }, S::kGpt, {p1, p2, p3}},
  };
  for (const DamageCase& c : cases) ExpectRead(original, c);
}

// --- A partition as a volume --------------------------------------------

TEST(PartitionDevice, ReadsStayInsideThePartitionAndPastItsEndFailAsAtAnImagesEnd) {
  std::vector<uint8_t> bytes(64 * 512);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 512);
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("disk.img"), bytes);
  testing::MemoryDriveSource source;
  source.MapBytes('C', bytes).SetIdentityFromPath('C', dir.File("disk.img"));
  // Sectors 10 to 19 of the disk.
  PartitionDevice partition(source.OpenDrive(3), 10 * 512, 10 * 512);
  EXPECT_EQ(partition.Size(), 10u * 512);
  EXPECT_EQ(partition.Identity()->inode, IdentityOfPath(dir.File("disk.img"))->inode);

  const struct {
    const char* name;
    uint64_t offset;
    size_t length;
    int result;
    uint64_t disk_reads_to;  // the end of the disk's last read, 0 when none
  } cases[] = {
      {"its first sector", 0, 512, 0, 11 * 512},
      {"its last sector", 9 * 512, 512, 0, 20 * 512},
      {"across its end", 8 * 512, 4 * 512, EIO, 20 * 512},
      {"just past its end", 10 * 512, 512, EIO, 0},
      {"far past its end", ~0ull - 100, 512, EIO, 0},
  };
  for (const auto& c : cases) {
    const size_t before = source.ReadLog('C').size();
    std::vector<uint8_t> out(c.length, 0xEE);
    EXPECT_EQ(partition.ReadAt(c.offset, out), c.result) << c.name;
    // What lies inside the partition is filled from the disk, 10 sectors on.
    for (size_t i = 0; i < out.size() && c.offset + i < 10 * 512; ++i)
      ASSERT_EQ(out[i], 10 + (c.offset + i) / 512) << c.name << " byte " << i;
    const auto log = source.ReadLog('C');
    EXPECT_EQ(log.size() - before, c.disk_reads_to ? 1u : 0u) << c.name;
    if (c.disk_reads_to) {
      EXPECT_EQ(log.back().offset + log.back().length, c.disk_reads_to) << c.name;
    }
  }
}

}  // namespace
}  // namespace quorvane
