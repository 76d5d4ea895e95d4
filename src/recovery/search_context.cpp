#include "recovery/search_context.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "recovery/search_filters.h"
#include "recovery/undelete_path.h"
#include "volume/chain_guard.h"
#include "volume/dir_entry.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

constexpr char kBlankExt[] = "   ";

// The pieces of `path` between backslashes; empty pieces do not count.
std::vector<std::string> SplitAtBackslashes(std::string_view path) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) pieces.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

bool HoldsDeletedMark(std::string_view bytes) {
  return bytes.find(static_cast<char>(kDeletedMark)) != std::string_view::npos;
}

std::string_view NameOf(std::span<const uint8_t> entry) {
  return {reinterpret_cast<const char*>(entry.data()), 8};
}
std::string_view ExtOf(std::span<const uint8_t> entry) {
  return {reinterpret_cast<const char*>(entry.data()) + 8, 3};
}
uint32_t FirstClusterOf(std::span<const uint8_t> entry) {
  return static_cast<uint32_t>(LoadLe16(entry, 20)) * 65536u + LoadLe16(entry, 26);
}

// The first entry of `cluster` whose stored name and extension are `name`
// and three blanks, whatever its attribute or deleted mark.
std::optional<uint32_t> FindInCluster(std::span<const uint8_t> cluster, std::string_view name) {
  for (size_t i = 0; i < EntriesIn(cluster); ++i) {
    const auto entry = EntryBytes(cluster, i);
    if (NameOf(entry) == name && ExtOf(entry) == kBlankExt) return FirstClusterOf(entry);
  }
  return std::nullopt;
}

}  // namespace

// The first entry under each stored name with a blank extension, along a
// directory's chain as a path walk reads it: what a walk looking for that
// name in this directory finds. Built on the first question, in one pass
// over the chain; its names are counted against kMaxIndexedNames.
class SearchContext::DirectoryIndex {
 public:
  DirectoryIndex(SearchContext& search, const Place& place) : search_(search), place_(place) {}
  ~DirectoryIndex() { search_.indexedNames_ -= first_.size(); }
  DirectoryIndex(const DirectoryIndex&) = delete;
  DirectoryIndex& operator=(const DirectoryIndex&) = delete;

  // The first cluster of the first entry named `name8` (8 bytes); none when
  // there is none, or it lies where the index could not reach.
  std::optional<uint32_t> Find(std::string_view name8) {
    if (!built_) Build();
    const uint64_t key = Key(name8.data());
    const auto it = std::lower_bound(first_.begin(), first_.end(), std::pair<uint64_t, uint32_t>{key, 0},
                                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (it == first_.end() || it->first != key) return std::nullopt;
    return it->second;
  }

 private:
  static uint64_t Key(const char* name8) {
    uint64_t key;
    std::memcpy(&key, name8, sizeof key);
    return key;
  }

  void Build() {
    built_ = true;
    ChainGuard chain(search_.m_params);
    for (uint32_t current = place_.cluster; chain.Enter(current);) {
      if (!search_.budget_.TakeLookup(current)) break;
      const auto cluster = search_.view_.ReadCluster(current);
      if (!cluster) break;
      for (size_t i = 0; i < EntriesIn(*cluster); ++i) {
        const auto entry = EntryBytes(*cluster, i);
        if (ExtOf(entry) != kBlankExt) continue;
        if (search_.indexedNames_ + first_.size() >= kMaxIndexedNames) return Finish();
        first_.emplace_back(Key(reinterpret_cast<const char*>(entry.data())), FirstClusterOf(entry));
      }
      const auto next = search_.view_.FatEntry(current);
      if (!next || FatParams::IsEndOfChain(*next) || place_.insideDeleted) break;
      current = *next;
    }
    Finish();
  }

  void Finish() {
    // The first entry of each name wins, as in a walk.
    std::stable_sort(first_.begin(), first_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    first_.erase(std::unique(first_.begin(), first_.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 first_.end());
    first_.shrink_to_fit();
    search_.indexedNames_ += first_.size();
  }

  SearchContext& search_;
  Place place_;
  bool built_ = false;
  std::vector<std::pair<uint64_t, uint32_t>> first_;  // sorted by name
};

SearchContext::SearchContext(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                             SearchControls& controls, const std::atomic<int32_t>& abort)
    : reader_(drives, boxes, ReaderVariant::kSearch),
      // Each directory is scanned once; the cache serves the rare walks that
      // read a parent directory again.
      view_(reader_, m_params, 4u << 20),
      settings_(settings),
      controls_(controls),
      abort_(abort) {}

bool SearchContext::Aborted() const { return abort_.load() != 0; }

// What every directory's visit begins with: stop when asked to, otherwise
// blink the progress bar and show the directory in the caption.
bool SearchContext::BeginDirectory(const std::string& path) {
  if (Aborted()) {
    controls_.progress.SetRange32(0, 0);
    controls_.status.SetText("");
    return false;
  }
  if (controls_.progress.GetPos() != 0) {
    controls_.progress.SetRange32(0, 0);
  } else {
    controls_.progress.SetRange32(0, 1);
    controls_.progress.SetPos(1);
  }
  controls_.caption.SetText(path);
  return true;
}

void SearchContext::SearchDeletedFiles(std::string path) {
  // A drive letter, a colon and a backslash first (or the drive alone, for
  // its root directory); anything else names no directory and lists nothing.
  outcome_ = SearchOutcome::kBadPath;
  if (!HasDriveRoot(path)) return;
  std::string upper = path;
  UppercaseLetters(upper);
  std::vector<std::string> components = SplitAtBackslashes(upper);
  m_params.m_nDrive = static_cast<unsigned char>(components.front()[0]) - 64;
  components.erase(components.begin());

  outcome_ = SearchOutcome::kAborted;
  if (!BeginDirectory(path)) return;
  // Drive A: is refused as the engine refuses it, before anything is read.
  outcome_ = SearchOutcome::kDriveA;
  if (upper[0] == 'A') return;
  // Without a readable FAT32 boot sector there is nothing to walk. The volume
  // is only read, so the values read here hold for every directory of the run.
  outcome_ = SearchOutcome::kVolumeUnreadable;
  if (m_params.ReadBootSector(reader_) != 0) return;
  outcome_ = SearchOutcome::kNotFat32;
  if (!m_params.IsUsableFat32()) return;
  // A directory deeper than the search goes, or one named by a component that
  // no recovery accepts (over 8 characters), lists nothing: its rows could
  // not be undeleted.
  outcome_ = SearchOutcome::kNotFound;
  if (path.size() > kMaxSearchPathChars || components.size() > kMaxSearchComponents) return;
  for (const std::string& component : components)
    if (component.size() > 8) return;

  const Place root{static_cast<uint32_t>(m_params.m_nRootCluster), false, 0};
  const auto place = Walk(root, components, /*charged=*/false);
  if (!place) {
    outcome_ = walkFailure_;
    return;
  }
  const bool read = ScanDirectory(path, *place);
  outcome_ = Aborted() ? SearchOutcome::kAborted
             : read    ? SearchOutcome::kScanned
                       : SearchOutcome::kDirectoryUnreadable;
}

// Walks `components` from the directory at `from`: in each directory the
// first entry, along its chain, whose stored name is the component's first
// eight characters (blank-padded) and whose extension is blank, whatever its
// attribute or deleted mark. None when a component is not found, a read
// fails or the search is aborted (walkFailure_ says which). A `charged` walk
// counts its reads against the search's budget.
std::optional<SearchContext::Place> SearchContext::Walk(Place from,
                                                        const std::vector<std::string>& components,
                                                        bool charged) {
  auto fail = [this](SearchOutcome why) -> std::optional<Place> {
    walkFailure_ = why;
    return std::nullopt;
  };
  Place place = from;
  for (const std::string& component : components) {
    if (Aborted()) return fail(SearchOutcome::kAborted);
    std::string target = component.substr(0, 8);
    target.resize(8, ' ');
    ChainGuard chain(m_params);
    chain.Enter(place.cluster);
    std::optional<uint32_t> found;
    for (;;) {
      if (Aborted()) return fail(SearchOutcome::kAborted);
      if (charged && !budget_.TakeLookup(place.cluster)) return fail(SearchOutcome::kNotFound);
      const auto cluster = view_.ReadCluster(place.cluster);
      if (!cluster) return fail(SearchOutcome::kDirectoryUnreadable);
      found = FindInCluster(*cluster, target);
      if (found) break;
      const auto next = view_.FatEntry(place.cluster);
      if (!next) return fail(SearchOutcome::kDirectoryUnreadable);
      if (FatParams::IsEndOfChain(*next) || place.insideDeleted || !chain.Enter(*next))
        return fail(SearchOutcome::kNotFound);
      place.cluster = *next;
    }
    // An entry pointing outside the volume leads nowhere.
    if (!m_params.IsClusterInVolume(*found)) return fail(SearchOutcome::kNotFound);
    place.cluster = *found;
    place.insideDeleted = place.insideDeleted || HoldsDeletedMark(component);
    ++place.components;
  }
  return place;
}

// Scans the directory the walk reached: its entries in order until the end
// mark, cluster by cluster along its chain (only the first cluster inside a
// deleted directory), listing files and entering subdirectories. False when
// its first cluster could not be read.
bool SearchContext::ScanDirectory(const std::string& path, const Place& place) {
  if (Aborted()) return true;
  // A subdirectory that leads back to a directory being scanned would list
  // the same entries again, deeper and deeper.
  if (std::find(openDirectories_.begin(), openDirectories_.end(), place.cluster) !=
      openDirectories_.end())
    return true;
  openDirectories_.push_back(place.cluster);
  struct Close {
    std::vector<uint32_t>& open;
    ~Close() { open.pop_back(); }
  } close{openDirectories_};

  const bool pathDeleted = HoldsDeletedMark(path);
  DirectoryIndex index(*this, place);
  ChainGuard chain(m_params);
  chain.Enter(place.cluster);
  uint32_t current = place.cluster;
  for (bool first = true;; first = false) {
    if (!budget_.TakeScan(current)) return true;
    const auto cluster = view_.ReadCluster(current);
    if (!cluster) return !first;
    for (size_t i = 0; i < EntriesIn(*cluster); ++i) {
      const auto entry = EntryBytes(*cluster, i);
      const uint8_t b0 = entry[0];
      const uint8_t attr = entry[11];
      if (b0 == '.') continue;
      if (b0 == ' ' || b0 == 0) return true;  // the directory ends here
      if (attr & kAttrDirectory) {
        EnterSubdirectory(path, place, entry, index);
        continue;
      }
      if (attr == kAttrLongName || attr == 0x28 || attr == kAttrVolumeLabel) continue;
      ConsiderFile(path, pathDeleted, entry);
    }
    const auto next = view_.FatEntry(current);
    if (!next || FatParams::IsEndOfChain(*next)) return true;
    if (place.insideDeleted) return true;  // deleted directories: first cluster only
    if (Aborted()) return true;
    if (!chain.Enter(*next)) return true;
    current = *next;
  }
}

void SearchContext::EnterSubdirectory(const std::string& parentPath, const Place& parent,
                                      std::span<const uint8_t> entry, DirectoryIndex& index) {
  if (!settings_.bSearchRecurse || LoadLe32(entry, 28) != 0) return;
  const std::string_view name = NameOf(entry);
  std::string path;
  path.reserve(parentPath.size() + 9);
  path.append(parentPath).append(1, '\\').append(name);
  if (HoldsDeletedMark(path) && !settings_.bSearchDeletedDirs) return;

  std::string upperName(name);
  UppercaseLetters(upperName);
  std::vector<std::string> components = SplitAtBackslashes(upperName);
  if (path.size() > kMaxSearchPathChars ||
      parent.components + components.size() > kMaxSearchComponents)
    return;

  if (!BeginDirectory(path)) return;
  // The walk along this path would repeat the parent's own walk and then look
  // for the first component in the parent: the parent's index answers that.
  std::optional<Place> place = parent;
  if (!components.empty()) {
    std::string target = components.front();
    target.resize(8, ' ');
    const auto found = index.Find(target);
    if (!found || !m_params.IsClusterInVolume(*found)) return;
    place = Place{*found, parent.insideDeleted || HoldsDeletedMark(components.front()),
                  parent.components + 1};
    // A name holding backslashes walks on through the directories it names.
    components.erase(components.begin());
    if (!components.empty()) place = Walk(*place, components, /*charged=*/true);
  }
  if (place) ScanDirectory(path, *place);
}

void SearchContext::ConsiderFile(const std::string& path, bool pathDeleted,
                                 std::span<const uint8_t> entry) {
  std::array<char, 12> name12;
  std::memcpy(name12.data(), entry.data(), 8);
  name12[8] = '.';
  std::memcpy(name12.data() + 9, entry.data() + 8, 3);
  const std::string_view name(name12.data(), name12.size());

  if (!pathDeleted && !HoldsDeletedMark(name)) return;
  const auto size = static_cast<int32_t>(LoadLe32(entry, 28));
  if (size <= 0) return;
  if (settings_.bSearchNameFilter && !NameFilterPasses(settings_.szSearchNameFilter, name)) return;
  if (settings_.bSearchExtFilter && !ExtFilterPasses(settings_.szSearchExtFilter, ExtOf(entry)))
    return;
  std::string row;
  row.reserve(path.size() + 13);
  row.append(path).append(1, '\\').append(name);
  if (settings_.bSearchDeletedDirFilter &&
      !DeletedDirFilterPasses(settings_.szSearchDeletedDirFilter, row))
    return;
  if (settings_.bSearchSkipUnrecoverable) {
    // Only a free first cluster inside the volume can be copied back.
    const uint32_t first = FirstClusterOf(entry);
    if (!m_params.IsClusterInVolume(first)) return;
    const auto value = view_.FatEntry(first);
    if (!value || *value != 0) return;
  }
  controls_.list.InsertRowAtTop(row, std::to_string(size));
}

}  // namespace quorvane
