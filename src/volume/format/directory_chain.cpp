#include "volume/format/directory_chain.h"

#include "volume/format/directory_continuation.h"

namespace quorvane {

namespace {

bool IsRootRegion(const VolumeView& view, uint32_t cluster) {
  return cluster == kRootRegion && view.params().HasRootRegion();
}

}  // namespace

DirectoryChain::DirectoryChain(VolumeView& view, const DirectoryExtent& extent)
    : view_(view), guard_(view.params()), extent_(extent), cluster_(extent.first),
      at_cluster_(IsRootRegion(view, extent.first) || guard_.Enter(extent.first)) {}

DirectoryChain::Step DirectoryChain::Advance() {
  at_cluster_ = false;
  if (IsRootRegion(view_, cluster_)) return Step::kEnd;  // the fixed region is one piece
  if (extent_.contiguous) {
    if (extent_.scope == Scope::kFirstClusterOnly || walked_ >= extent_.clusters ||
        !guard_.Enter(cluster_ + 1))
      return Step::kEnd;
    ++cluster_;
    ++walked_;
    at_cluster_ = true;
    return Step::kNext;
  }
  if (extent_.scope == Scope::kFirstClusterThenContinuations) {
    const auto bytes = view_.ReadCluster(cluster_);
    if (!bytes || EndsDirectory(**bytes)) return Step::kEnd;
    const auto next = FindDirectoryContinuation(view_, cluster_);
    if (!next || !guard_.Enter(*next)) return Step::kEnd;
    cluster_ = *next;
    at_cluster_ = true;
    return Step::kNext;
  }
  const auto next = view_.FatEntry(cluster_);
  if (!next) {
    fat_error_ = next.error();
    return Step::kFatUnreadable;
  }
  if (FatParams::IsEndOfChain(*next) || extent_.scope == Scope::kFirstClusterOnly ||
      !guard_.Enter(*next))
    return Step::kEnd;
  cluster_ = *next;
  at_cluster_ = true;
  return Step::kNext;
}

}  // namespace quorvane
