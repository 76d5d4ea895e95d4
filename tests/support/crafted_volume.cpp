#include "support/crafted_volume.h"

#include <algorithm>
#include <stdexcept>

#include "volume/little_endian.h"

namespace quorvane::testing {

namespace {
constexpr uint32_t kSector = 512;
constexpr uint32_t kEndMark = 0x0FFFFFFF;
constexpr uint32_t kFsInfoSector = 1;

void Put(std::vector<uint8_t>& image, size_t offset, std::string_view text) {
  std::copy(text.begin(), text.end(), image.begin() + static_cast<ptrdiff_t>(offset));
}
}  // namespace

std::string ShortName(std::string_view name, std::string_view ext) {
  std::string out(11, ' ');
  std::copy_n(name.begin(), std::min<size_t>(name.size(), 8), out.begin());
  std::copy_n(ext.begin(), std::min<size_t>(ext.size(), 3), out.begin() + 8);
  return out;
}

CraftedVolume::CraftedVolume(const CraftedGeometry& geometry) : geometry_(geometry) {
  fat_sectors_ = ((geometry_.clusters + 2) * 4 + kSector - 1) / kSector;
  image_.assign(static_cast<size_t>(TotalSectors()) * kSector, 0);

  // Boot sector, as a formatter writes it.
  auto& b = image_;
  b[0] = 0xEB, b[1] = 0x58, b[2] = 0x90;
  Put(b, 3, "QVTEST  ");
  StoreLe16(b, 11, kSector);
  b[13] = geometry_.sectors_per_cluster;
  StoreLe16(b, 14, geometry_.reserved_sectors);
  b[16] = geometry_.num_fats;
  b[21] = 0xF8;  // fixed disk
  StoreLe16(b, 24, 32);
  StoreLe16(b, 26, 64);
  StoreLe32(b, 32, TotalSectors());
  StoreLe32(b, 36, fat_sectors_);
  StoreLe32(b, 44, geometry_.root_cluster);
  StoreLe16(b, 48, kFsInfoSector);  // no backup boot sector
  b[64] = 0x80;
  b[66] = 0x29;
  StoreLe32(b, 67, 0x51A7E5u);
  Put(b, 71, "NO NAME    ");
  Put(b, 82, "FAT32   ");
  b[510] = 0x55, b[511] = 0xAA;
  const size_t info = kFsInfoSector * kSector;
  StoreLe32(b, info, 0x41615252);
  StoreLe32(b, info + 484, 0x61417272);
  StoreLe32(b, info + 488, 0xFFFFFFFF);  // free count unknown
  StoreLe32(b, info + 492, 0xFFFFFFFF);  // next free unknown
  StoreLe32(b, info + 508, 0xAA550000);

  for (unsigned copy = 0; copy < geometry_.num_fats; ++copy) {
    SetFatCopy(copy, 0, 0x0FFFFF00u | 0xF8);
    SetFatCopy(copy, 1, kEndMark);
  }
  if (geometry_.root_cluster >= 2 && geometry_.root_cluster <= LastCluster())
    SetFat(geometry_.root_cluster, kEndMark);
}

uint32_t CraftedVolume::FirstDataSector() const {
  return geometry_.reserved_sectors + geometry_.num_fats * fat_sectors_;
}

uint32_t CraftedVolume::TotalSectors() const {
  return FirstDataSector() + geometry_.clusters * geometry_.sectors_per_cluster;
}

uint32_t CraftedVolume::ClusterBytes() const { return geometry_.sectors_per_cluster * kSector; }

uint64_t CraftedVolume::ClusterOffset(uint32_t cluster) const {
  if (cluster < 2 || cluster > LastCluster())
    throw std::out_of_range("cluster " + std::to_string(cluster) + " is outside the volume");
  return (uint64_t{FirstDataSector()} + uint64_t{cluster - 2} * geometry_.sectors_per_cluster) *
         kSector;
}

CraftedVolume& CraftedVolume::SetSectorsPerCluster(uint8_t value) {
  image_[13] = value;
  return *this;
}

CraftedVolume& CraftedVolume::SetRootCluster(uint32_t value) {
  StoreLe32(image_, 44, value);
  return *this;
}

void CraftedVolume::SetFatCopy(unsigned copy, uint32_t cluster, uint32_t value) {
  if (cluster >= fat_sectors_ * (kSector / 4))
    throw std::out_of_range("FAT entry " + std::to_string(cluster) + " past the FAT's end");
  StoreLe32(image_, (size_t{geometry_.reserved_sectors} + size_t{copy} * fat_sectors_) * kSector +
                        size_t{cluster} * 4,
            value);
}

CraftedVolume& CraftedVolume::SetFat(uint32_t cluster, uint32_t value) {
  for (unsigned copy = 0; copy < geometry_.num_fats; ++copy) SetFatCopy(copy, cluster, value);
  return *this;
}

CraftedVolume& CraftedVolume::Chain(std::initializer_list<uint32_t> clusters) {
  return Link(clusters, kEndMark);
}

CraftedVolume& CraftedVolume::Cycle(std::initializer_list<uint32_t> clusters) {
  return Link(clusters, *clusters.begin());
}

CraftedVolume& CraftedVolume::Link(std::initializer_list<uint32_t> clusters, uint32_t after_last) {
  for (auto it = clusters.begin(); it != clusters.end(); ++it)
    SetFat(*it, it + 1 != clusters.end() ? it[1] : after_last);
  return *this;
}

CraftedVolume& CraftedVolume::SetEntry(uint32_t dir_cluster, size_t index,
                                       const CraftedEntry& entry) {
  if (entry.name11.size() != 11) throw std::invalid_argument("name11 must be 11 bytes");
  if ((index + 1) * 32 > ClusterBytes()) throw std::out_of_range("entry index past the cluster");
  const std::span<uint8_t> e = Cluster(dir_cluster).subspan(index * 32, 32);
  std::fill(e.begin(), e.end(), 0);
  std::copy(entry.name11.begin(), entry.name11.end(), e.begin());
  e[11] = entry.attr;
  StoreLe16(e, 20, static_cast<uint16_t>(entry.first_cluster >> 16));
  StoreLe16(e, 26, static_cast<uint16_t>(entry.first_cluster & 0xFFFF));
  StoreLe32(e, 28, entry.size);
  return *this;
}

std::span<uint8_t> CraftedVolume::Cluster(uint32_t cluster) {
  return std::span<uint8_t>(image_).subspan(ClusterOffset(cluster), ClusterBytes());
}

CraftedVolume& CraftedVolume::FillCluster(uint32_t cluster, std::span<const uint8_t> bytes) {
  if (bytes.size() > ClusterBytes()) throw std::out_of_range("more bytes than a cluster holds");
  std::copy(bytes.begin(), bytes.end(), Cluster(cluster).begin());
  return *this;
}

CraftedVolume& CraftedVolume::FillCluster(uint32_t cluster, uint8_t value) {
  const std::span<uint8_t> c = Cluster(cluster);
  std::fill(c.begin(), c.end(), value);
  return *this;
}

}  // namespace quorvane::testing
