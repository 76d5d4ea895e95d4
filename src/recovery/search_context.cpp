#include "recovery/search_context.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "recovery/search_filters.h"
#include "recovery/read_failure_boxes.h"
#include "recovery/rebuilt_cluster.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/long_name.h"
#include "volume/path_text.h"

namespace quorvane {
namespace {

constexpr std::string_view kBlankExt = "   ";

bool HoldsDeletedMark(std::string_view bytes) {
  return bytes.find(static_cast<char>(kDeletedMark)) != std::string_view::npos;
}

// Appends a component of a long path to `path`: the long name, else the
// stored 8.3 name.
void AppendComponentText(std::u16string& path, const DirEntry& entry, const std::u16string& long_name) {
  if (!long_name.empty()) {
    path.append(long_name);
    return;
  }
  auto append_trimmed = [&](std::string_view field) {
    field = field.substr(0, field.find_last_not_of(' ') + 1);
    for (const char c : field) path.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return !field.empty();
  };
  append_trimmed(entry.NameBytes());
  const size_t dot = path.size();
  path.push_back(u'.');
  if (!append_trimmed(entry.ExtBytes())) path.resize(dot);
}

std::u16string ComponentText(const DirEntry& entry, const std::u16string& long_name) {
  std::u16string text;
  AppendComponentText(text, entry, long_name);
  return text;
}

}  // namespace

// Inside a deleted directory only the first cluster of a chain is read: its
// FAT entries were freed. A contiguous exFAT directory needs no FAT entry.
DirectoryExtent SearchContext::ExtentOf(const Place& place) {
  return {place.cluster,
          place.insideDeleted && !place.contiguous ? DirectoryScope::kFirstClusterOnly
                                                   : DirectoryScope::kWholeChain,
          place.contiguous, place.clusters};
}

namespace {

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
    // A cluster that cannot be read ends the index where it is.
    WalkDirectory(
        *search_.view_, ExtentOf(place_),
        [&](uint32_t cluster) { return search_.budget_.TakeLookup(cluster); },
        [&](const WalkedEntry& at) {
          const DirEntry entry = DirEntry::Parse(at.raw);
          if (entry.ExtBytes() != kBlankExt) return Visit::kGoOn;
          if (search_.indexedNames_ + first_.size() >= kMaxIndexedNames) return Visit::kStop;
          first_.emplace_back(Key(entry.NameBytes().data()), search_.m_params.FirstClusterOf(entry));
          return Visit::kGoOn;
        });
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
  const Place& place_;  // the scan that made the index outlives it
  bool built_ = false;
  std::vector<std::pair<uint64_t, uint32_t>> first_;  // sorted by name
};

SearchContext::SearchContext(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                             SearchReport& report, const std::atomic<int32_t>& abort)
    : boxes_(boxes),
      drives_(drives),
      settings_(settings),
      report_(report),
      abort_(abort) {}

bool SearchContext::Aborted() const { return abort_.load() != 0; }

// What every directory's visit begins with: stop when asked to, otherwise
// blink the progress bar and show the directory in the caption.
bool SearchContext::BeginDirectory(const std::string& path) {
  if (Aborted()) {
    Blink(false);
    report_.status.SetText("");
    return false;
  }
  Blink(!lit_);
  report_.caption.SetText(path);
  return true;
}

// Lights the bar full (a range of 0..1 at 1) or empties it (an empty range).
void SearchContext::Blink(bool lit) {
  lit_ = lit;
  if (!report_.blink) return;
  if (lit) {
    report_.blink->SetRange32(0, 1);
    report_.blink->SetPos(1);
  } else {
    report_.blink->SetRange32(0, 0);
  }
}

void SearchContext::SearchDeletedFiles(std::string path) {
  // A drive letter, a colon and a backslash first (or the drive alone, for
  // its root directory); anything else names no directory and lists nothing.
  outcome_ = SearchOutcome::kBadPath;
  if (!HasDriveRoot(path)) return;
  const std::string upper = UpperAsciiLetters(path);
  std::vector<std::string> components = SplitAtBackslashes(upper);
  const int32_t drive = DriveNumber(upper[0]);
  components.erase(components.begin());

  outcome_ = SearchOutcome::kAborted;
  if (!BeginDirectory(path)) return;
  // Drive A: is refused as the engine refuses it, before anything is read.
  outcome_ = SearchOutcome::kDriveA;
  if (upper[0] == 'A') return;
  // Without a readable FAT32 boot sector there is nothing to walk. The volume
  // is only read, so the values read here hold for every directory of the run.
  // Each directory is scanned once; the view's cache serves the rare walks
  // that read a parent directory again.
  auto volume = OpenedVolume::Open(drives_, drive, 4u << 20);
  if (!volume) {
    if (volume.error().kind == VolumeOpenError::Kind::kNotFat) {
      outcome_ = SearchOutcome::kNotFat;
      return;
    }
    // Once open, the volume stays open for the run: only this first read
    // can find it unopenable, which is all the search ever tells.
    outcome_ = SearchOutcome::kVolumeUnreadable;
    TellReadFailure(boxes_, volume.error().read, ReadFailureTelling::kSearch);
    return;
  }
  volume_ = std::move(*volume);
  view_ = &volume_->view();
  m_params = volume_->params();
  if (volume_->IsExFat()) return SearchExFat(path, components);
  // A directory deeper than the search goes, or one named by a component that
  // no recovery accepts (over 8 characters), lists nothing: its rows could
  // not be undeleted.
  outcome_ = SearchOutcome::kNotFound;
  if (path.size() > kMaxSearchPathChars || components.size() > kMaxSearchComponents) return;
  for (const std::string& component : components)
    if (component.size() > 8) return;

  const Place root{static_cast<uint32_t>(m_params.m_nRootCluster), false, 0, {}};
  auto place = Walk(root, components, /*charged=*/false);
  if (!place) {
    outcome_ = walkFailure_;
    return;
  }
  if (settings_.bSearchDetails) place->longPath = LongPathOf(components);
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
    std::optional<uint32_t> found;
    // The first entry named so, whatever its attribute or deleted mark.
    SearchOutcome stopped = SearchOutcome::kNotFound;
    const WalkEnd end = WalkDirectory(
        *view_, ExtentOf(place),
        [&](uint32_t cluster) {
          if (Aborted()) stopped = SearchOutcome::kAborted;
          else if (charged && !budget_.TakeLookup(cluster)) stopped = SearchOutcome::kNotFound;
          else return true;
          return false;
        },
        [&](const WalkedEntry& at) {
          const DirEntry entry = DirEntry::Parse(at.raw);
          if (entry.NameBytes() != target || entry.ExtBytes() != kBlankExt) return Visit::kGoOn;
          found = m_params.FirstClusterOf(entry);
          return Visit::kStop;
        });
    if (!found) {
      if (end.kind == WalkEnd::Kind::kUnreadable) return fail(SearchOutcome::kDirectoryUnreadable);
      return fail(end.kind == WalkEnd::Kind::kStopped ? stopped : SearchOutcome::kNotFound);
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
  // Deleted directories: first cluster only.
  EntryNameCollector long_names;
  bool begun = false;
  const WalkEnd end = WalkDirectory(
      *view_, ExtentOf(place),
      [&](uint32_t cluster) {
        if (begun && Aborted()) return false;
        begun = true;
        return budget_.TakeScan(cluster);
      },
      [&](const WalkedEntry& at) {
        const DirEntry entry = DirEntry::Parse(at.raw);
        if (entry.IsDotEntry()) return Visit::kGoOn;
        if (entry.name[0] == ' ' || entry.IsEnd()) return Visit::kStop;  // the directory ends here
        // Long names only when the rows carry them: the classic search pays nothing.
        static const EntryNames kNoNames;
        std::optional<EntryNames> gathered;
        if (Detailed()) {
          if (entry.IsLongNamePart()) {
            long_names.AddPart(at.raw);
            return Visit::kGoOn;
          }
          gathered.emplace();
          gathered->longName = long_names.TakeFor(entry, at.raw, &gathered->firstByte);
        }
        const EntryNames& names = gathered ? *gathered : kNoNames;
        if (entry.IsDirectory()) {
          EnterSubdirectory(path, place, entry, index, names, at.cluster);
          return Visit::kGoOn;
        }
        if (entry.attr == kAttrLongName || entry.attr == (kAttrVolumeLabel | kAttrArchive) ||
            entry.attr == kAttrVolumeLabel)
          return Visit::kGoOn;
        ConsiderFile(path, place, pathDeleted, entry, names, at.cluster);
        return Visit::kGoOn;
      });
  // Only a directory whose first cluster could not be read went unread.
  return !(end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster);
}

void SearchContext::EnterSubdirectory(const std::string& parentPath, const Place& parent,
                                      const DirEntry& entry, DirectoryIndex& index,
                                      const EntryNames& names, std::span<const uint8_t> cluster) {
  if (!settings_.bSearchRecurse || entry.fileSize != 0) return;
  const std::string_view name = entry.NameBytes();
  std::string path;
  path.reserve(parentPath.size() + 9);
  path.append(parentPath).append(1, '\\').append(name);
  if (HoldsDeletedMark(path) && !settings_.bSearchDeletedDirs) return;

  std::vector<std::string> components = SplitAtBackslashes(UpperAsciiLetters(std::string(name)));
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
    auto found = index.Find(target);
    // A deleted directory that lost its high word: its own . and .. say
    // which of the clusters its low word allows it began at.
    if (settings_.bSearchNtDeleted && components.size() == 1 && MayHaveLostHighWord(entry, m_params)) {
      RebuildHints hints;
      hints.parentCluster =
          parent.components == 0 && parent.cluster == static_cast<uint32_t>(m_params.m_nRootCluster)
              ? 0
              : parent.cluster;
      hints.siblings = cluster;
      hints.neighbours = &neighbours_;
      if (const auto rebuilt = RebuildFirstCluster(*view_, entry, hints)) found = rebuilt->cluster;
    }
    if (!found || !m_params.IsClusterInVolume(*found)) return;
    place = Place{*found, parent.insideDeleted || HoldsDeletedMark(components.front()),
                  parent.components + 1, {}};
    if (settings_.bSearchDetails)
      place->longPath = parent.longPath + u'\\' + ComponentText(entry, names.longName);
    // A name holding backslashes walks on through the directories it names.
    components.erase(components.begin());
    if (!components.empty()) place = Walk(*place, components, /*charged=*/true);
  }
  if (place) ScanDirectory(path, *place);
}

void SearchContext::ConsiderFile(const std::string& path, const Place& place, bool pathDeleted,
                                 const DirEntry& entry, const EntryNames& names,
                                 std::span<const uint8_t> cluster) {
  std::array<char, 12> name12;
  std::copy(entry.name.begin(), entry.name.end(), name12.begin());
  name12[8] = '.';
  std::copy(entry.ext.begin(), entry.ext.end(), name12.begin() + 9);
  const std::string_view name(name12.data(), name12.size());

  if (!pathDeleted && !HoldsDeletedMark(name)) return;
  const auto size = static_cast<int32_t>(entry.fileSize);
  if (size <= 0) return;
  if (settings_.bSearchNameFilter && !NameFilterPasses(settings_.szSearchNameFilter, name)) return;
  if (settings_.bSearchExtFilter && !ExtFilterPasses(settings_.szSearchExtFilter, entry.ExtBytes()))
    return;
  std::string& row = row_;  // kept from row to row, as are the details
  row.assign(path).append(1, '\\').append(name);
  if (settings_.bSearchDeletedDirFilter &&
      !DeletedDirFilterPasses(settings_.szSearchDeletedDirFilter, row))
    return;
  uint32_t first = m_params.FirstClusterOf(entry);
  std::optional<FileCondition> rebuilt;
  if (settings_.bSearchNtDeleted && MayHaveLostHighWord(entry, m_params)) {
    const std::string extension =
        names.longName.empty() ? std::string(entry.ExtBytes()) : ExtensionOfLongName(names.longName);
    RebuildHints hints;
    hints.extension = extension;
    hints.siblings = cluster;
    hints.neighbours = &neighbours_;
    if (const auto found = RebuildFirstCluster(*view_, entry, hints)) {
      first = found->cluster;
      rebuilt = found->guessed ? FileCondition::kGuessed : FileCondition::kRebuilt;
    }
  }
  if (settings_.bSearchSkipUnrecoverable) {
    // Only a free first cluster inside the volume can be copied back.
    if (!m_params.IsClusterInVolume(first)) return;
    // A rebuilt cluster lies anywhere: its own FAT sector, not a chunk.
    if (rebuilt) {
      const auto value = view_->FatEntryAlone(first);
      if (!value || *value != 0) return;
    } else if (const auto free = view_->ClusterFree(first); !free || !*free) {
      return;
    }
  }
  if (!Detailed()) {
    report_.list.InsertRowAtTop(row, std::to_string(size));
    return;
  }
  RowDetails& details = details_;
  details.longPath.clear();
  if (settings_.bSearchDetails) {
    details.longPath.assign(place.longPath).append(1, u'\\');
    AppendComponentText(details.longPath, entry, names.longName);
  }
  details.times = settings_.bSearchDetails ? FatEntryTimes(entry) : EntryTimes{};
  details.condition = rebuilt.value_or(ConditionOf(*view_, first, entry.fileSize));
  details.firstCluster = first;
  report_.list.InsertDetailedRowAtTop(row, std::to_string(size), details);
}

// The long path of the directory that `components` lead to from the root,
// as the walk found them: each the first entry of its name with a blank
// extension, by its long name where it has one.
std::u16string SearchContext::LongPathOf(const std::vector<std::string>& components) {
  std::u16string long_path = {static_cast<char16_t>(DriveLetter(m_params.m_nDrive)), u':'};
  Place place{static_cast<uint32_t>(m_params.m_nRootCluster), false, 0, {}};
  for (const std::string& component : components) {
    std::string target = component.substr(0, 8);
    target.resize(8, ' ');
    std::u16string text = WidenLatin1(component);
    EntryNameCollector long_names;
    // A directory that cannot be read keeps the component as given.
    WalkDirectory(*view_, ExtentOf(place), [&](const WalkedEntry& at) {
      const DirEntry entry = DirEntry::Parse(at.raw);
      if (entry.IsLongNamePart()) {
        long_names.AddPart(at.raw);
        return Visit::kGoOn;
      }
      const std::u16string long_name = long_names.TakeFor(entry, at.raw);
      if (entry.NameBytes() != target || entry.ExtBytes() != kBlankExt) return Visit::kGoOn;
      text = ComponentText(entry, long_name);
      place.cluster = m_params.FirstClusterOf(entry);
      place.insideDeleted = place.insideDeleted || entry.IsDeleted();
      return Visit::kStop;
    });
    long_path.append(1, u'\\').append(text);
  }
  return long_path;
}

void SearchContext::Finish() {
  report_.caption.SetText(kSearchDoneCaption);
  Blink(false);
  report_.status.SetText("");
}

SearchOutcome RunSearch(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                        SearchReport& report, const std::atomic<int32_t>& abort) {
  SearchContext context(drives, boxes, settings, report, abort);
  context.SearchDeletedFiles(std::string(settings.strSearchDir));
  context.Finish();
  return context.outcome();
}

}  // namespace quorvane
