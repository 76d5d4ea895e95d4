#include "recovery/search_context.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "recovery/chain_guard.h"
#include "recovery/search_filters.h"
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

// The first cluster of the first entry, in the order a directory was scanned
// so far, under each stored name with a blank extension: what a path walk
// looking for that name in this directory would find.
class SearchContext::FirstEntries {
 public:
  void Note(std::span<const uint8_t> entry) {
    if (ExtOf(entry) != kBlankExt) return;
    uint64_t key;
    std::memcpy(&key, entry.data(), sizeof key);
    first_.try_emplace(key, FirstClusterOf(entry));
  }
  // Only asked for names already noted.
  uint32_t Find(std::string_view name) const {
    uint64_t key;
    std::memcpy(&key, name.data(), sizeof key);
    return first_.at(key);
  }

 private:
  std::unordered_map<uint64_t, uint32_t> first_;
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
  std::string upper = path;
  UppercaseLetters(upper);
  std::vector<std::string> components = SplitAtBackslashes(upper);
  if (components.empty() || components.front().size() < 2 || components.front()[1] != ':') return;
  m_params.m_nDrive = static_cast<unsigned char>(components.front()[0]) - 64;
  components.erase(components.begin());

  if (!BeginDirectory(path)) return;
  // Without a readable FAT32 boot sector there is nothing to walk. The volume
  // is only read, so the values read here hold for every directory of the run.
  if (m_params.ReadBootSector(reader_) != 0 || !m_params.IsUsableFat32()) return;
  // A directory deeper than the search goes, or one named by a component that
  // no recovery accepts (over 8 characters), lists nothing: its rows could
  // not be undeleted.
  if (path.size() > kMaxSearchPathChars || components.size() > kMaxSearchComponents) return;
  for (const std::string& component : components)
    if (component.size() > 8) return;

  const Place root{static_cast<uint32_t>(m_params.m_nRootCluster), false, 0};
  if (const auto place = Walk(root, components)) ScanDirectory(path, *place);
}

// Walks `components` from the directory at `from`: in each directory the
// first entry, along its chain, whose stored name is the component's first
// eight characters (blank-padded) and whose extension is blank, whatever its
// attribute or deleted mark. None when a component is not found, a read
// fails or the search is aborted.
std::optional<SearchContext::Place> SearchContext::Walk(Place from,
                                                        const std::vector<std::string>& components) {
  Place place = from;
  for (const std::string& component : components) {
    if (Aborted()) return std::nullopt;
    std::string target = component.substr(0, 8);
    target.resize(8, ' ');
    ChainGuard chain(m_params);
    chain.Enter(place.cluster);
    std::optional<uint32_t> found;
    for (;;) {
      if (Aborted()) return std::nullopt;
      const auto cluster = view_.ReadCluster(place.cluster);
      if (!cluster) return std::nullopt;
      found = FindInCluster(*cluster, target);
      if (found) break;
      const auto next = view_.FatEntry(place.cluster);
      if (!next || FatParams::IsEndOfChain(*next) || place.insideDeleted) return std::nullopt;
      if (!chain.Enter(*next)) return std::nullopt;
      place.cluster = *next;
    }
    // An entry pointing outside the volume leads nowhere.
    if (!m_params.IsClusterInVolume(*found)) return std::nullopt;
    place.cluster = *found;
    place.insideDeleted = place.insideDeleted || HoldsDeletedMark(component);
    ++place.components;
  }
  return place;
}

// Scans the directory the walk reached: its entries in order until the end
// mark, cluster by cluster along its chain (only the first cluster inside a
// deleted directory), listing files and entering subdirectories.
void SearchContext::ScanDirectory(const std::string& path, const Place& place) {
  if (Aborted()) return;
  // A subdirectory that leads back to a directory being scanned would list
  // the same entries again, deeper and deeper.
  if (std::find(openDirectories_.begin(), openDirectories_.end(), place.cluster) !=
      openDirectories_.end())
    return;
  openDirectories_.push_back(place.cluster);
  struct Close {
    std::vector<uint32_t>& open;
    ~Close() { open.pop_back(); }
  } close{openDirectories_};

  const bool pathDeleted = HoldsDeletedMark(path);
  FirstEntries seen;
  ChainGuard chain(m_params);
  chain.Enter(place.cluster);
  uint32_t current = place.cluster;
  for (;;) {
    const auto cluster = view_.ReadCluster(current);
    if (!cluster) return;
    for (size_t i = 0; i < EntriesIn(*cluster); ++i) {
      const auto entry = EntryBytes(*cluster, i);
      seen.Note(entry);
      const uint8_t first = entry[0];
      const uint8_t attr = entry[11];
      if (first == '.') continue;
      if (first == ' ' || first == 0) return;  // the directory ends here
      if (attr & kAttrDirectory) {
        EnterSubdirectory(path, place, entry, seen);
        continue;
      }
      if (attr == kAttrLongName || attr == 0x28 || attr == kAttrVolumeLabel) continue;
      ConsiderFile(path, pathDeleted, entry);
    }
    const auto next = view_.FatEntry(current);
    if (!next || FatParams::IsEndOfChain(*next)) return;
    if (place.insideDeleted) return;  // deleted directories: first cluster only
    if (Aborted()) return;
    if (!chain.Enter(*next)) return;
    current = *next;
  }
}

void SearchContext::EnterSubdirectory(const std::string& parentPath, const Place& parent,
                                      std::span<const uint8_t> entry, const FirstEntries& seen) {
  if (!settings_.bSearchRecurse || LoadLe32(entry, 28) != 0) return;
  const std::string_view name = NameOf(entry);
  std::string path;
  path.reserve(parentPath.size() + 9);
  path.append(parentPath).append(1, '\\').append(name);
  if (HoldsDeletedMark(path) && !settings_.bSearchDeletedDirs) return;

  std::string upperName(name);
  UppercaseLetters(upperName);
  const std::vector<std::string> components = SplitAtBackslashes(upperName);
  if (path.size() > kMaxSearchPathChars ||
      parent.components + components.size() > kMaxSearchComponents)
    return;

  if (!BeginDirectory(path)) return;
  std::optional<Place> place;
  const bool plainName = upperName == name && name.find('\\') == std::string_view::npos;
  if (plainName && ExtOf(entry) == kBlankExt) {
    // The walk along this path would repeat the parent's own walk and then
    // look for this name in the parent, where the first entry so named has
    // already been scanned.
    const uint32_t cluster = seen.Find(name);
    if (m_params.IsClusterInVolume(cluster))
      place = Place{cluster, parent.insideDeleted || HoldsDeletedMark(name), parent.components + 1};
  } else {
    place = Walk(parent, components);
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
