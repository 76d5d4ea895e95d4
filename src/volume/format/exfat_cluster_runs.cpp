#include "volume/format/exfat_cluster_runs.h"

#include <algorithm>

namespace quorvane {

Expected<std::vector<ClusterRun>, ExFatChainError> ExFatClusterRuns(VolumeView& view, uint32_t first,
                                                                    uint64_t length, bool contiguous) {
  using Kind = ExFatChainError::Kind;
  const FatParams& params = view.params();
  const uint64_t needed = (length + params.ClusterBytes() - 1) / params.ClusterBytes();
  std::vector<ClusterRun> runs;
  if (needed == 0) return runs;
  if (!params.IsClusterInVolume(first) || needed > uint64_t{params.LastCluster()} - first + 1)
    return Fail(ExFatChainError{Kind::kBroken, {}});
  if (contiguous) {
    runs.push_back({first, static_cast<uint32_t>(needed)});
    return runs;
  }
  // At most `needed` steps; a loop shows as runs that overlap.
  uint32_t cluster = first;
  for (uint64_t taken = 0;;) {
    if (!runs.empty() && runs.back().first + runs.back().count == cluster)
      ++runs.back().count;
    else
      runs.push_back({cluster, 1});
    if (++taken == needed) break;
    const auto next = view.FatEntry(cluster);
    if (!next) return Fail(ExFatChainError{Kind::kUnreadable, next.error()});
    if (!params.IsClusterInVolume(*next)) return Fail(ExFatChainError{Kind::kBroken, {}});
    cluster = *next;
  }
  std::vector<ClusterRun> sorted = runs;
  std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < sorted.size(); ++i)
    if (uint64_t{sorted[i - 1].first} + sorted[i - 1].count > sorted[i].first)
      return Fail(ExFatChainError{Kind::kBroken, {}});
  return runs;
}

Expected<std::vector<uint8_t>, ExFatChainError> ReadExFatFile(VolumeView& view, uint32_t first,
                                                              uint64_t length, bool contiguous) {
  const auto runs = ExFatClusterRuns(view, first, length, contiguous);
  if (!runs) return Fail(runs.error());
  const uint64_t cluster_bytes = view.params().ClusterBytes();
  std::vector<uint8_t> bytes;
  for (const ClusterRun& run : *runs) {
    const size_t at = bytes.size();
    bytes.resize(at + run.count * cluster_bytes);
    if (auto done = view.ReadClusterRun(run.first, run.count, std::span(bytes).subspan(at)); !done)
      return Fail(ExFatChainError{ExFatChainError::Kind::kUnreadable, done.error()});
  }
  bytes.resize(length);
  return bytes;
}

}  // namespace quorvane
