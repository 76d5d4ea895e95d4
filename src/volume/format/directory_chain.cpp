#include "volume/format/directory_chain.h"

namespace quorvane {

DirectoryChain::DirectoryChain(VolumeView& view, uint32_t first, Scope scope)
    : view_(view), guard_(view.params()), scope_(scope), cluster_(first),
      at_cluster_(guard_.Enter(first)) {}

DirectoryChain::Step DirectoryChain::Advance() {
  at_cluster_ = false;
  const auto next = view_.FatEntry(cluster_);
  if (!next) {
    fat_error_ = next.error();
    return Step::kFatUnreadable;
  }
  if (FatParams::IsEndOfChain(*next) || scope_ == Scope::kFirstClusterOnly || !guard_.Enter(*next))
    return Step::kEnd;
  cluster_ = *next;
  at_cluster_ = true;
  return Step::kNext;
}

}  // namespace quorvane
