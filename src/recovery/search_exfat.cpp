// The search on exFAT. Its directories hold entry sets, each a file's whole
// name, size, first cluster and NoFatChain flag; a deleted set keeps them
// all with its in-use bits cleared. Rows are paths of those names in UTF-8
// (C:\DCIM\Beach day 01.jpg), which the engine walks back the same way.
#include <algorithm>
#include <variant>

#include "recovery/search_context.h"
#include "recovery/search_filters.h"
#include "recovery/seen_names.h"
#include "volume/format/exfat_directory.h"
#include "volume/format/exfat_names.h"
#include "volume/path_text.h"

namespace quorvane {

SearchContext::Place SearchContext::ExFatChild(const Place& parent, const ExFatFileSet& set) const {
  Place child;
  child.cluster = set.firstCluster;
  child.insideDeleted = parent.insideDeleted || set.deleted;
  child.components = parent.components + 1;
  if (settings_.bSearchDetails) child.longPath = parent.longPath + u'\\' + set.name;
  const DirectoryExtent extent = ExFatDirectoryExtent(m_params, set, child.insideDeleted);
  child.contiguous = extent.contiguous;
  child.clusters = extent.clusters;
  return child;
}

void SearchContext::SearchExFat(const std::string& path, const std::vector<std::string>& components) {
  outcome_ = SearchOutcome::kNotFound;
  if (components.size() > kMaxSearchComponents) return;
  Place root;
  root.cluster = volume_->RootCluster();
  if (settings_.bSearchDetails) root.longPath = {static_cast<char16_t>(DriveLetter(m_params.m_nDrive)), u':'};
  // Rows begin with the directories' stored names, whatever case or
  // encoding they were typed in (CAFÉ, or caf\xE9 in Latin-1): an exFAT row
  // is UTF-8 throughout, as a search from the root lists it.
  std::string stored = path.substr(0, 2);
  auto place = WalkExFat(root, components, stored);
  if (!place) {
    outcome_ = walkFailure_;
    return;
  }
  const bool read = ScanExFatDirectory(stored, *place);
  outcome_ = Aborted() ? SearchOutcome::kAborted
             : read    ? SearchOutcome::kScanned
                       : SearchOutcome::kDirectoryUnreadable;
}

// Walks `components` from `from`: in each directory the first directory
// set, live or deleted, whose name the component names without regard to
// case; each set's stored name is added to `stored_path` after a backslash.
// None when one is not found or cannot be read (walkFailure_ says).
std::optional<SearchContext::Place> SearchContext::WalkExFat(Place from,
                                                             const std::vector<std::string>& components,
                                                             std::string& stored_path) {
  Place place = std::move(from);
  for (const std::string& component : components) {
    if (Aborted()) {
      walkFailure_ = SearchOutcome::kAborted;
      return std::nullopt;
    }
    std::optional<Place> found;
    const WalkEnd end = ForEachExFatSet(
        *view_, ExtentOf(place),
        [&](const ExFatFileSet& set) {
          if (!set.isDirectory || !ExFatNameMatches(component, set.name, volume_->Upcase())) return false;
          found = ExFatChild(place, set);
          stored_path.append(1, '\\').append(set.nameUtf8);
          return true;
        },
        [](uint32_t) { return true; });
    if (!found) {
      walkFailure_ = end.kind == WalkEnd::Kind::kUnreadable ? SearchOutcome::kDirectoryUnreadable
                                                            : SearchOutcome::kNotFound;
      return std::nullopt;
    }
    if (!m_params.IsClusterInVolume(found->cluster)) {
      walkFailure_ = SearchOutcome::kNotFound;
      return std::nullopt;
    }
    place = std::move(*found);
  }
  return place;
}

bool SearchContext::ScanExFatDirectory(const std::string& path, const Place& place) {
  if (Aborted()) return true;
  if (std::find(openDirectories_.begin(), openDirectories_.end(), place.cluster) != openDirectories_.end())
    return true;
  openDirectories_.push_back(place.cluster);
  struct Close {
    std::vector<uint32_t>& open;
    ~Close() { open.pop_back(); }
  } close{openDirectories_};

  // The sets of each name seen, as the walk back along a row compares
  // names: a directory is entered for the first of its name only; a file
  // set gone (deleted, or below a deleted directory) is listed for each.
  SeenNames seen(indexedNames_, kMaxIndexedNames);
  const ExFatUpcaseTable& upcase = volume_->Upcase();
  auto first = [&](const ExFatFileSet& set) {
    std::u16string key(set.name);
    for (char16_t& unit : key) unit = upcase.Upcase(unit);
    return seen.First(std::string(reinterpret_cast<const char*>(key.data()), key.size() * 2),
                      set.isDirectory);
  };
  bool begun = false;
  const WalkEnd end = ForEachExFatSet(
      *view_, ExtentOf(place),
      [&](const ExFatFileSet& set) {
        if (set.isDirectory) {
          if (first(set)) EnterExFatDirectory(path, place, set);
        } else if (set.deleted || place.insideDeleted) {
          const bool twin = !first(set);
          ConsiderExFatFile(path, place, set, twin);
        }
        return false;
      },
      [&](uint32_t cluster) {
        if (begun && Aborted()) return false;
        begun = true;
        return budget_.TakeScan(cluster);
      });
  return !(end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster);
}

void SearchContext::EnterExFatDirectory(const std::string& parentPath, const Place& parent,
                                        const ExFatFileSet& set) {
  if (!settings_.bSearchRecurse) return;
  if (set.deleted && !settings_.bSearchDeletedDirs) return;
  if (parent.components + 1 > kMaxSearchComponents) return;
  std::string path;
  path.reserve(parentPath.size() + 1 + set.nameUtf8.size());
  path.append(parentPath).append(1, '\\').append(set.nameUtf8);
  if (!BeginDirectory(path)) return;
  if (!m_params.IsClusterInVolume(set.firstCluster)) return;
  ScanExFatDirectory(path, ExFatChild(parent, set));
}

// A `twin`, as on FAT, carries its first cluster in every row.
void SearchContext::ConsiderExFatFile(const std::string& path, const Place& place,
                                      const ExFatFileSet& set, bool twin) {
  // Inside a deleted directory every file is gone with it.
  if (!set.deleted && !place.insideDeleted) return;
  if (set.size == 0) return;
  // The filters see the name as a FAT row's 8.3 name would show it: the
  // name filter anywhere in the name, the extension filter on the last
  // extension, blank-padded to three.
  // The filters are upper-cased as they are applied; exFAT keeps names in
  // their own case, so the names are compared upper-cased too.
  if (settings_.bSearchNameFilter &&
      !NameFilterPasses(settings_.szSearchNameFilter, UpperAsciiLetters(set.nameUtf8)))
    return;
  if (settings_.bSearchExtFilter) {
    const size_t dot = set.nameUtf8.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : set.nameUtf8.substr(dot + 1);
    if (ext.size() > 3) return;
    ext.resize(3, ' ');
    if (!ExtFilterPasses(settings_.szSearchExtFilter, UpperAsciiLetters(ext))) return;
  }
  std::string& row = row_;
  row.assign(path).append(1, '\\').append(set.nameUtf8);
  if (settings_.bSearchDeletedDirFilter &&
      !DeletedDirFilterPasses(settings_.szSearchDeletedDirFilter, UpperAsciiLetters(row)))
    return;
  if (settings_.bSearchSkipUnrecoverable) {
    if (!m_params.IsClusterInVolume(set.firstCluster)) return;
    if (const auto free = view_->ClusterFree(set.firstCluster); !free || !*free) return;
  }
  if (!Detailed() && !twin) {
    report_.list.InsertRowAtTop(row, std::to_string(set.size));
    return;
  }
  RowDetails& details = details_;
  details.longPath.clear();
  if (settings_.bSearchDetails) details.longPath.assign(place.longPath).append(1, u'\\').append(set.name);
  details.times = settings_.bSearchDetails ? ExFatEntryTimes(set) : EntryTimes{};
  details.condition =
      ExFatConditionOf(*view_, set.firstCluster, set.size, set.noFatChain, set.checksumMatches,
                       claims_ ? &*claims_ : nullptr);
  details.firstCluster = set.firstCluster;
  report_.list.InsertDetailedRowAtTop(row, std::to_string(set.size), details);
}

}  // namespace quorvane
