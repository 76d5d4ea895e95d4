#pragma once
// The clusters a deleted file is rebuilt from. Deleting a file frees its
// chain in the FAT and keeps its first cluster in the entry, so the file is
// taken to go on through the free clusters that follow: from the first
// cluster up, every cluster the FAT marks free, in order, clusters in use
// stepped over, until the volume ends. Given the volume's claims, clusters
// other deleted entries claim are stepped over as well.
#include <atomic>
#include <cstdint>

#include "recovery/cluster_claims.h"
#include "volume/read_error.h"
#include "volume/format/volume_view.h"

namespace quorvane {

class FreeClusters {
 public:
  enum class Found {
    kFree,           // cluster() is the next free cluster
    kVolumeEnds,     // no cluster is left in the volume
    kFatUnreadable,  // a FAT entry cannot be read: error() says why
    kAborted,        // the abort flag was raised
  };

  // `view` must outlive the sequence. A `contiguous` file (exFAT's
  // NoFatChain) lies in the clusters that follow its first, used or not:
  // they are taken as they come.
  FreeClusters(VolumeView& view, uint32_t first, bool contiguous = false)
      : view_(view), last_(view.params().LastCluster()), first_(first), cluster_(first), contiguous_(contiguous) {}
  // The same, stepping over the clusters `claims` gives other entries than
  // the one at `first` (a contiguous file takes its clusters as they come).
  // `claims` must outlive the sequence.
  FreeClusters(VolumeView& view, uint32_t first, bool contiguous, const ClusterClaims* claims)
      : FreeClusters(view, first, contiguous) {
    claims_ = contiguous ? nullptr : claims;
  }

  // Steps to the next free cluster (the first call examines the first
  // cluster itself). The abort flag is read before each cluster examined.
  Found Next(const std::atomic<int32_t>& abort);
  uint32_t cluster() const { return cluster_; }
  const ReadError& error() const { return error_; }
  // Goes on from `cluster` instead (a free one further on): the next call
  // of Next() examines it.
  void StandOn(uint32_t cluster) {
    cluster_ = cluster;
    started_ = false;
  }
  // Clusters another entry claims were stepped over.
  bool steppedOverClaims() const { return stepped_over_claims_; }

  // How many clusters from cluster() on are free and follow each other, up
  // to `limit` and at least 1. A FAT entry that cannot be read ends the run
  // and is given in `unread`. Next() then steps through the run without
  // asking the FAT again.
  uint32_t FreeRunLength(uint32_t limit, std::optional<ReadError>& unread);

 private:
  bool InVolume(uint32_t cluster) const { return cluster >= kFirstDataCluster && cluster <= last_; }

  VolumeView& view_;
  // The volume's last cluster, worked out once: the volume does not change
  // while a file is copied, and every cluster is checked against it.
  uint32_t last_;
  uint32_t first_;
  uint32_t cluster_;
  const ClusterClaims* claims_ = nullptr;
  bool stepped_over_claims_ = false;
  uint32_t known_free_to_ = 0;  // the last cluster of the last free run measured
  bool contiguous_ = false;
  bool started_ = false;
  ReadError error_;
};

}  // namespace quorvane
