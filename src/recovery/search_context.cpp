#include "recovery/search_context.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "recovery/search_filters.h"
#include "recovery/seen_names.h"
#include "recovery/read_failure_boxes.h"
#include "recovery/rebuilt_cluster.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/entered_directory.h"
#include "volume/format/stored_name.h"
#include "volume/format/long_name.h"
#include "volume/path_text.h"

namespace quorvane {
namespace {

// A short entry's name and extension as a walk compares them.
std::string UpperStoredNameKey(const DirEntry& entry) {
  const StoredName stored = UpperStoredName(entry);
  return std::string(reinterpret_cast<const char*>(stored.data()), stored.size());
}

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
// With --fragments a deleted directory goes on in the clusters that read as
// its continuation.
DirectoryExtent SearchContext::ExtentOf(const Place& place) const {
  const DirectoryScope deleted = settings_.bSearchFragments && m_params.m_family != VolumeFamily::kExFat
                                     ? DirectoryScope::kFirstClusterThenContinuations
                                     : DirectoryScope::kFirstClusterOnly;
  return {place.cluster,
          place.insideDeleted && !place.contiguous ? deleted : DirectoryScope::kWholeChain,
          place.contiguous, place.clusters};
}

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
  if (settings_.bSearchFragments) claims_ = ClusterClaims::Gather(*volume_, abort_);
  if (volume_->IsExFat()) return SearchExFat(path, components);
  if (settings_.bSearchNtDeleted) rebuild_ = ClearedHighWordRebuild(&neighbours_);
  // A directory deeper than the search goes lists nothing.
  outcome_ = SearchOutcome::kNotFound;
  if (components.size() > kMaxSearchComponents) return;

  Place root{static_cast<uint32_t>(m_params.m_nRootCluster), false, 0, {}};
  if (settings_.bSearchDetails) root.longPath = {static_cast<char16_t>(DriveLetter(m_params.m_nDrive)), u':'};
  auto place = Walk(root, components);
  if (!place) {
    outcome_ = walkFailure_;
    return;
  }
  listOrphans_ = ListsOrphans(components);
  const bool read = ScanDirectory(path, *place);
  if (listOrphans_ && !Aborted()) ListOrphans(path.substr(0, 2));
  outcome_ = Aborted() ? SearchOutcome::kAborted
             : read    ? SearchOutcome::kScanned
                       : SearchOutcome::kDirectoryUnreadable;
}

// Walks `components` from the directory at `from`: in each directory the
// first directory entry, along its chain, whose stored name and extension
// the component names (ARCHIVE.OLD, or OLD alone for a blank extension),
// live or deleted, entered as EnteredDirectoryCluster allows. None when a
// component is not found, a read fails or the search is aborted
// (walkFailure_ says which).
std::optional<SearchContext::Place> SearchContext::Walk(Place from,
                                                        const std::vector<std::string>& components) {
  auto fail = [this](SearchOutcome why) -> std::optional<Place> {
    walkFailure_ = why;
    return std::nullopt;
  };
  Place place = std::move(from);
  for (const std::string& component : components) {
    if (Aborted()) return fail(SearchOutcome::kAborted);
    const auto target = StoredNameOfComponent(component);
    if (!target) return fail(SearchOutcome::kNotFound);
    const bool inside_deleted = place.insideDeleted || HoldsDeletedMark(component);
    bool matched = false;
    std::optional<uint32_t> entered;
    std::u16string text;
    EntryNameCollector long_names;
    SearchOutcome stopped = SearchOutcome::kNotFound;
    const WalkEnd end = WalkDirectory(
        *view_, ExtentOf(place),
        [&](uint32_t) {
          if (!Aborted()) return true;
          stopped = SearchOutcome::kAborted;
          return false;
        },
        [&](const WalkedEntry& at) {
          const DirEntry entry = DirEntry::Parse(at.raw);
          if (entry.IsLongNamePart()) {
            if (settings_.bSearchDetails) long_names.AddPart(at.raw);
            return Visit::kGoOn;
          }
          std::u16string long_name;
          if (settings_.bSearchDetails) long_name = long_names.TakeFor(entry, at.raw);
          if (!WalkTakesAsDirectory(entry) || UpperStoredName(entry) != *target) return Visit::kGoOn;
          matched = true;
          entered = EnteredDirectoryCluster(*view_, entry, StepFrom(place, at.cluster, inside_deleted));
          if (settings_.bSearchDetails) text = ComponentText(entry, long_name);
          return Visit::kStop;
        });
    if (!matched) {
      if (end.kind == WalkEnd::Kind::kUnreadable) return fail(SearchOutcome::kDirectoryUnreadable);
      return fail(end.kind == WalkEnd::Kind::kStopped ? stopped : SearchOutcome::kNotFound);
    }
    if (!entered) return fail(SearchOutcome::kNotFound);
    place.cluster = *entered;
    place.insideDeleted = inside_deleted;
    ++place.components;
    if (settings_.bSearchDetails) place.longPath.append(1, u'\\').append(text);
  }
  return place;
}

// How a subdirectory of `parent`, whose entry lies in `siblings`, is entered.
DirectoryStep SearchContext::StepFrom(const Place& parent, std::span<const uint8_t> siblings,
                                      bool inside_deleted) const {
  DirectoryStep step;
  step.parent = parent.cluster == static_cast<uint32_t>(m_params.m_nRootCluster) ? 0 : parent.cluster;
  step.siblings = siblings;
  step.insideDeleted = inside_deleted;
  step.rebuild = rebuild_ ? &rebuild_ : nullptr;
  return step;
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
  if (listOrphans_) reachedDirectories_.try_emplace(place.cluster, path, place);
  SeenNames seen(indexedNames_, kMaxIndexedNames);
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
        if (WalkTakesAsDirectory(entry)) {
          if (seen.First(UpperStoredNameKey(entry), /*directory=*/true))
            EnterSubdirectory(path, place, entry, names, at.cluster);
          return Visit::kGoOn;
        }
        if (!WalkTakesAsFile(entry)) return Visit::kGoOn;
        const bool twin = !seen.First(UpperStoredNameKey(entry), /*directory=*/false);
        ConsiderFile(path, place, pathDeleted, entry, names, at.cluster, twin);
        return Visit::kGoOn;
      });
  // Only a directory whose first cluster could not be read went unread.
  return !(end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster);
}

// Enters a subdirectory entry, the first of its name in its directory. Its
// path holds the stored name (and extension, where it has one) as the walk
// back along it compares them.
void SearchContext::EnterSubdirectory(const std::string& parentPath, const Place& parent,
                                      const DirEntry& entry, const EntryNames& names,
                                      std::span<const uint8_t> cluster) {
  if (!settings_.bSearchRecurse || entry.fileSize != 0) return;
  // A name holding a full stop or backslash of its own would lead the walk elsewhere.
  if (!RowComponentNamesEntry(entry, /*as_file=*/false)) return;
  const std::string component = RowComponentOf(entry, /*as_file=*/false);
  std::string path;
  path.reserve(parentPath.size() + 1 + component.size());
  path.append(parentPath).append(1, '\\').append(component);
  if (HoldsDeletedMark(path) && !settings_.bSearchDeletedDirs) return;
  if (parent.components + 1 > kMaxSearchComponents) return;

  if (!BeginDirectory(path)) return;
  const bool inside_deleted = parent.insideDeleted || HoldsDeletedMark(component);
  const auto first = EnteredDirectoryCluster(*view_, entry, StepFrom(parent, cluster, inside_deleted));
  if (!first) return;
  Place place{*first, inside_deleted, parent.components + 1, {}};
  if (settings_.bSearchDetails)
    place.longPath = parent.longPath + u'\\' + ComponentText(entry, names.longName);
  ScanDirectory(path, place);
}

// Lists a file entry that passes the filters. A `twin` (an entry of a name
// an earlier entry of the directory had) carries its first cluster in
// every row, which a recovery of the row names its entry by.
void SearchContext::ConsiderFile(const std::string& path, const Place& place, bool pathDeleted,
                                 const DirEntry& entry, const EntryNames& names,
                                 std::span<const uint8_t> cluster, bool twin) {
  std::array<char, 12> name12;
  std::copy(entry.name.begin(), entry.name.end(), name12.begin());
  name12[8] = '.';
  std::copy(entry.ext.begin(), entry.ext.end(), name12.begin() + 9);
  const std::string_view name(name12.data(), name12.size());

  if (!pathDeleted && !HoldsDeletedMark(name)) return;
  // Sizes are unsigned: up to 4 GiB less one byte. An empty file has nothing to bring back.
  const uint32_t size = entry.fileSize;
  if (size == 0) return;
  if (!RowComponentNamesEntry(entry, /*as_file=*/true)) return;
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
  if (!Detailed() && !twin) {
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
  details.condition =
      rebuilt.value_or(ConditionOf(*view_, first, entry.fileSize, claims_ ? &*claims_ : nullptr));
  details.firstCluster = first;
  report_.list.InsertDetailedRowAtTop(row, std::to_string(size), details);
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
