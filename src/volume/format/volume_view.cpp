#include "volume/format/volume_view.h"

#include <algorithm>


namespace quorvane {

VolumeView::VolumeView(SectorReader& reader, const FatParams& params, size_t cluster_cache_bytes)
    : reader_(reader), params_(params), cluster_cache_bytes_(cluster_cache_bytes) {}

void VolumeView::ResetIfDriveChanged() {
  if (drive_ == params_.m_nDrive) return;
  drive_ = params_.m_nDrive;
  fat_chunks_.clear();
  fat_sectors_.clear();
  fat_sector_index_.clear();
  clusters_.clear();
  cluster_index_.clear();
  cached_bytes_ = 0;
  for (KeptSector& kept : kept_) kept.read = false;
}

const SectorBuffer* VolumeView::FatChunk(uint32_t chunk_index) {
  auto it = fat_chunks_.find(chunk_index);
  if (it != fat_chunks_.end()) {
    it->second.last_use = ++clock_;
    return &it->second.bytes;
  }
  const uint32_t fat_size = static_cast<uint32_t>(params_.m_nFatSize);
  const uint32_t first = chunk_index * kFatChunkSectors;
  if (first >= fat_size) return nullptr;
  const uint32_t count = std::min(kFatChunkSectors, fat_size - first);
  SectorBuffer bytes(static_cast<size_t>(count) * kSectorSize);
  if (!reader_.ReadInto(params_.m_nDrive, static_cast<uint32_t>(params_.m_nReservedSectors) + first,
                        count, bytes))
    return nullptr;
  if (fat_chunks_.size() >= kFatChunksKept) {
    auto oldest = std::min_element(fat_chunks_.begin(), fat_chunks_.end(), [](auto& a, auto& b) {
      return a.second.last_use < b.second.last_use;
    });
    fat_chunks_.erase(oldest);
  }
  auto& chunk = fat_chunks_[chunk_index];
  chunk.bytes = std::move(bytes);
  chunk.last_use = ++clock_;
  return &chunk.bytes;
}

// The bytes an entry's value is read from: two for FAT12 (its 12 bits may
// begin in either), two for FAT16, four for FAT32 and exFAT.
size_t VolumeView::EntryWidth() const {
  return params_.m_family == VolumeFamily::kFat12 || params_.m_family == VolumeFamily::kFat16 ? 2 : 4;
}

ReadResult<uint32_t> VolumeView::FatEntry(uint32_t cluster) {
  ResetIfDriveChanged();
  const uint64_t at = params_.FatByteOf(cluster);
  const uint64_t fat_sector = at / kSectorSize;
  if (fat_sector / kFatChunkSectors <= UINT32_MAX) {
    if (const SectorBuffer* chunk = FatChunk(static_cast<uint32_t>(fat_sector / kFatChunkSectors))) {
      const size_t offset = (fat_sector % kFatChunkSectors) * kSectorSize + at % kSectorSize;
      if (offset + EntryWidth() <= chunk->size()) return params_.FatEntryAt(*chunk, offset, cluster);
    }
  }
  // The chunk could not be read whole (or lies past the FAT): read the one
  // sector, so that the failure returned is exactly this sector's.
  return params_.ReadFatEntry(reader_, cluster);
}

ReadResult<uint32_t> VolumeView::FatEntryAlone(uint32_t cluster) {
  ResetIfDriveChanged();
  const uint64_t at = params_.FatByteOf(cluster);
  const uint64_t fat_sector = at / kSectorSize;
  const size_t offset = params_.FatOffsetOf(cluster);
  if (const auto chunk = fat_chunks_.find(static_cast<uint32_t>(fat_sector / kFatChunkSectors));
      chunk != fat_chunks_.end()) {
    const size_t within = (fat_sector % kFatChunkSectors) * kSectorSize + offset;
    if (within + EntryWidth() <= chunk->second.bytes.size())
      return params_.FatEntryAt(chunk->second.bytes, within, cluster);
  }
  // A FAT12 entry across two sectors is read as the view reads any other.
  if (offset + EntryWidth() > kSectorSize) return params_.ReadFatEntry(reader_, cluster);
  const uint32_t sector = params_.FatSectorOf(cluster);
  if (const auto kept = fat_sector_index_.find(sector); kept != fat_sector_index_.end()) {
    fat_sectors_.splice(fat_sectors_.begin(), fat_sectors_, kept->second);
    return params_.FatEntryAt(kept->second->bytes, offset, cluster);
  }
  FatSectors::iterator slot;
  if (fat_sectors_.size() >= kFatSectorsKept) {  // the least recently used is read into again
    slot = std::prev(fat_sectors_.end());
    fat_sector_index_.erase(slot->sector);
    fat_sectors_.splice(fat_sectors_.begin(), fat_sectors_, slot);
  } else {
    slot = fat_sectors_.emplace(fat_sectors_.begin());
  }
  if (auto done = reader_.ReadInto(params_.m_nDrive, sector, 1, slot->bytes); !done) {
    fat_sectors_.erase(slot);
    return Fail(done.error());
  }
  slot->sector = sector;
  fat_sector_index_[sector] = slot;
  return params_.FatEntryAt(slot->bytes, offset, cluster);
}

ReadResult<std::shared_ptr<const SectorBuffer>> VolumeView::ReadCluster(uint32_t cluster) {
  ResetIfDriveChanged();
  auto found = cluster_index_.find(cluster);
  if (found != cluster_index_.end()) {
    clusters_.splice(clusters_.begin(), clusters_, found->second);
    return std::shared_ptr<const SectorBuffer>(found->second->second);
  }
  // FAT12 and FAT16 keep their root directory in a fixed region, read whole.
  const bool root_region = cluster == kRootRegion && params_.HasRootRegion();
  auto bytes = root_region ? reader_.ReadSectors(params_.m_nDrive, params_.RootRegionSector(),
                                                 params_.RootRegionSectors())
                           : reader_.ReadSectors(params_.m_nDrive, params_.ClusterToSector(cluster),
                                                 static_cast<uint32_t>(params_.m_nSectorsPerCluster));
  if (!bytes) return Fail(bytes.error());
  cached_bytes_ += bytes->size();
  clusters_.emplace_front(cluster, std::make_shared<const SectorBuffer>(std::move(*bytes)));
  cluster_index_[cluster] = clusters_.begin();
  // Evict the least recently used, never the cluster just read.
  while (cached_bytes_ > cluster_cache_bytes_ && clusters_.size() > 1) {
    cached_bytes_ -= clusters_.back().second->size();
    cluster_index_.erase(clusters_.back().first);
    clusters_.pop_back();
  }
  return std::shared_ptr<const SectorBuffer>(clusters_.front().second);
}

ReadResult<std::span<const uint8_t>> VolumeView::ReadOneSector(uint32_t sector) {
  ResetIfDriveChanged();
  for (const KeptSector& kept : kept_)
    if (kept.read && kept.sector == sector) return std::span<const uint8_t>(kept.bytes);
  KeptSector& slot = kept_[nextKept_];
  slot.read = false;
  if (auto done = reader_.ReadInto(params_.m_nDrive, sector, 1, slot.bytes); !done)
    return Fail(done.error());
  slot.sector = sector;
  slot.read = true;
  nextKept_ = (nextKept_ + 1) % kept_.size();
  return std::span<const uint8_t>(slot.bytes);
}

ReadStatus VolumeView::ReadClusterRun(uint32_t first, uint32_t count, std::span<uint8_t> out) {
  const auto spc = static_cast<uint32_t>(params_.m_nSectorsPerCluster);
  return reader_.ReadInto(params_.m_nDrive, params_.ClusterToSector(first), count * spc, out);
}

}  // namespace quorvane
