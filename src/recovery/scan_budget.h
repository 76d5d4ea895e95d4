#pragma once
// How often one search may scan each directory cluster. A sound volume scans
// a cluster once; entries that point back at a cluster (a damaged volume)
// may lead the search to it again. Entries
// that draw a lattice (two subdirectory entries in each directory naming the
// same next one) would make a search read 2^depth directories; past the
// budget a cluster ends its directory as a looping chain does, so a search
// costs time in proportion to the directory clusters the volume holds.
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace quorvane {

inline constexpr uint8_t kReadsPerClusterAndSearch = 8;

class ScanBudget {
 public:
  // A read of `cluster` for a scan of its entries; false once spent.
  bool TakeScan(uint32_t cluster) { return Take(cluster); }
  // Whether `cluster` was read for a scan.
  bool Scanned(uint32_t cluster) const {
    const auto found = pages_.find(cluster / kPageClusters);
    return found != pages_.end() && (*found->second)[cluster % kPageClusters] != 0;
  }

 private:
  // Counts in pages of clusters, made as clusters are first read: memory
  // follows the directory clusters a search reads, not the volume's size,
  // and stops at 16 MiB (16 million clusters of directories, more than any
  // sound volume holds); clusters past that are not read.
  static constexpr uint32_t kPageClusters = 4096;
  using Page = std::array<uint8_t, kPageClusters>;
  static constexpr size_t kMaxPages = (16u << 20) / sizeof(Page);

  bool Take(uint32_t cluster) {
    auto found = pages_.find(cluster / kPageClusters);
    if (found == pages_.end()) {
      if (pages_.size() == kMaxPages) return false;
      found = pages_.emplace(cluster / kPageClusters, std::make_unique<Page>()).first;
    }
    auto& page = found->second;
    uint8_t& count = (*page)[cluster % kPageClusters];
    if (count == kReadsPerClusterAndSearch) return false;
    ++count;
    return true;
  }

  std::unordered_map<uint32_t, std::unique_ptr<Page>> pages_;
};

}  // namespace quorvane
