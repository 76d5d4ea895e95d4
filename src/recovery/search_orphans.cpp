// The search's last step with --fragments: directories no walk reached
// (orphan_directories.h), listed under the directory their ".." names where
// the search reached it, else under C:\ORPHANS, each named by its cluster.
#include <unordered_map>

#include "recovery/search_context.h"
#include "volume/format/orphan_directories.h"

namespace quorvane {

bool SearchContext::ListsOrphans(const std::vector<std::string>& components) const {
  return settings_.bSearchFragments && settings_.bSearchRecurse && settings_.bSearchDeletedDirs &&
         components.empty() && !volume_->IsExFat();
}

void SearchContext::ListOrphans(const std::string& root_path) {
  const OrphanScan scan = FindOrphanDirectories(
      *view_, [this](uint32_t cluster) { return budget_.Scanned(cluster); }, abort_);
  // An orphan may be the parent of another: those whose parent is reached
  // are placed first, round after round, until no more can be.
  std::vector<OrphanDirectory> left = scan.found;
  for (bool placed = true; placed && !left.empty() && !Aborted();) {
    placed = false;
    std::vector<OrphanDirectory> still;
    for (const OrphanDirectory& orphan : left) {
      const auto parent = orphan.parent ? reachedDirectories_.find(*orphan.parent) : reachedDirectories_.end();
      if (parent == reachedDirectories_.end()) {
        still.push_back(orphan);
        continue;
      }
      placed = true;
      if (budget_.Scanned(orphan.cluster)) continue;  // reached below an orphan placed before it
      const auto [path, place] = parent->second;  // a copy: the scan adds to the map
      if (place.components + 1 > kMaxSearchComponents) continue;
      ScanOrphan(path, place, orphan.cluster);
    }
    left = std::move(still);
  }
  Place folder{static_cast<uint32_t>(m_params.m_nRootCluster), true, 1, {}};
  std::string folder_path = root_path + '\\' + std::string(kOrphansFolder);
  if (settings_.bSearchDetails)
    folder.longPath = std::u16string{static_cast<char16_t>(root_path[0]), u':', u'\\'} + u"ORPHANS";
  for (const OrphanDirectory& orphan : left) {
    if (Aborted()) return;
    if (!budget_.Scanned(orphan.cluster)) ScanOrphan(folder_path, folder, orphan.cluster);
  }
}

void SearchContext::ScanOrphan(const std::string& parent_path, const Place& parent, uint32_t cluster) {
  const std::string component = OrphanComponent(cluster);
  const std::string path = parent_path + '\\' + component;
  if (!BeginDirectory(path)) return;
  Place place{cluster, true, parent.components + 1, {}};
  if (settings_.bSearchDetails)
    place.longPath = parent.longPath + u'\\' + std::u16string(component.begin(), component.end());
  ScanDirectory(path, place);
}

}  // namespace quorvane
