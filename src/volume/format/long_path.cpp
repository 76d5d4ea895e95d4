#include "volume/format/long_path.h"

#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/exfat_directory.h"
#include "volume/format/exfat_names.h"
#include "volume/format/long_name.h"
#include "volume/format/opened_volume.h"
#include "volume/format/orphan_directories.h"
#include "volume/format/stored_name.h"
#include "volume/path_text.h"

namespace quorvane {
namespace {

// A short entry as a path component can name it.
struct Named {
  DirEntry entry;
  std::u16string longName;
  std::optional<uint8_t> firstByte;  // a deleted entry's, as restored
};

// Whether the component names the entry by its 8.3 name: as a listed row
// holds it (the deleted mark and blanks as stored), or as a person types it. A deleted entry's
// first byte is the deleted mark: any first letter names it, unless the
// checksum has restored the letter.
bool NamesShortName(std::u16string_view component, const Named& named) {
  // Trailing blanks and full stops go, as they go from the component.
  std::string row = RowComponentOf(named.entry, !named.entry.IsDirectory());
  row.erase(row.find_last_not_of(". ") + 1);
  if (NamesEqualIgnoringCase(component, WidenLatin1(row))) return true;
  std::u16string text = WidenLatin1(ShortNameText(named.entry));
  if (named.entry.IsDeleted()) {
    if (component.empty()) return false;
    if (named.firstByte) {
      text[0] = *named.firstByte;
    } else {
      text[0] = component[0];
    }
  }
  return NamesEqualIgnoringCase(component, text);
}

// A component's ASCII letters upper-cased, anything else '?': enough for
// the names orphan directories are given.
std::string UpperAscii(std::u16string_view component) {
  std::string text;
  for (const char16_t c : component)
    text.push_back(c < 0x80 ? static_cast<char>(c >= u'a' && c <= u'z' ? c - 32 : c) : '?');
  return text;
}

bool Matches(std::u16string_view component, const Named& named) {
  return (!named.longName.empty() && NamesEqualIgnoringCase(component, named.longName)) ||
         NamesShortName(component, named);
}

// The first entry of the directory at `cluster` that `component` names and
// `wanted` accepts, with its long name and the directory cluster holding it.
std::optional<Named> Find(VolumeView& view, uint32_t cluster, DirectoryScope deleted_scope, bool inside_deleted,
                          std::u16string_view component, bool (*wanted)(const DirEntry&),
                          std::vector<uint8_t>& siblings) {
  EntryNameCollector names;
  std::optional<Named> found;
  // A directory that cannot be read names nothing.
  WalkDirectory(view, {cluster, inside_deleted ? deleted_scope : DirectoryScope::kWholeChain},
                [&](const WalkedEntry& at) {
                  const DirEntry entry = DirEntry::Parse(at.raw);
                  if (entry.IsEnd()) return Visit::kStop;
                  if (entry.IsLongNamePart()) {
                    names.AddPart(at.raw);
                    return Visit::kGoOn;
                  }
                  Named named{entry, {}, std::nullopt};
                  named.longName = names.TakeFor(entry, at.raw, &named.firstByte);
                  if (entry.IsDotEntry() || entry.IsVolumeLabel() || !wanted(entry) ||
                      !Matches(component, named))
                    return Visit::kGoOn;
                  found = std::move(named);
                  siblings.assign(at.cluster.begin(), at.cluster.end());
                  return Visit::kStop;
                });
  return found;
}

// exFAT's stored names are its long names: each component names a
// directory set (live or deleted), the last a deleted file's set.
bool ResolveOnExFat(OpenedVolume& volume, const std::vector<std::u16string>& components,
                    ResolvedFile& resolved) {
  DirectoryExtent extent{volume.RootCluster()};
  bool inside_deleted = false;
  for (size_t i = 0; i < components.size(); ++i) {
    const bool file = i + 1 == components.size();
    std::optional<ExFatFileSet> named;
    ForEachExFatSet(volume.view(), extent, [&](const ExFatFileSet& set) {
      if (set.isDirectory == file || (file && !set.deleted && !inside_deleted)) return false;
      if (ExFatNamesEqual(components[i], set.name, volume.Upcase())) named = set;
      return named.has_value();
    });
    if (!named) return false;
    resolved.storedPath.append(1, '\\').append(named->nameUtf8);
    if (file) {
      resolved.longName = named->name;
      return true;
    }
    if (!volume.params().IsClusterInVolume(named->firstCluster)) return false;
    inside_deleted = inside_deleted || named->deleted;
    extent = ExFatDirectoryExtent(volume.params(), *named, inside_deleted);
  }
  return false;
}

}  // namespace

std::optional<ResolvedFile> ResolveLongPath(DriveSource& drives, std::u16string_view path,
                                            const DirectoryClusterRebuild* rebuild, bool fragments) {
  const auto parsed = ParseDrivePath(path);
  if (!parsed || parsed->components.empty()) return std::nullopt;
  auto volume = OpenedVolume::Open(drives, parsed->drive);
  if (!volume) return std::nullopt;
  VolumeView& view = (*volume)->view();

  ResolvedFile resolved;
  resolved.storedPath = {DriveLetter(parsed->drive), ':'};
  if ((*volume)->IsExFat()) {
    if (!ResolveOnExFat(**volume, parsed->components, resolved)) return std::nullopt;
    return resolved;
  }
  const uint32_t root = (*volume)->RootCluster();
  uint32_t cluster = root;
  bool inside_deleted = false;
  bool in_orphans_folder = false;
  const DirectoryScope deleted_scope =
      fragments ? DirectoryScope::kFirstClusterThenContinuations : DirectoryScope::kFirstClusterOnly;
  std::vector<uint8_t> siblings;
  for (size_t i = 0; i < parsed->components.size(); ++i) {
    const bool file = i + 1 == parsed->components.size();
    // Orphan directories keep the names the search gave them.
    if (fragments && !file) {
      const std::string ascii = UpperAscii(parsed->components[i]);
      std::optional<uint32_t> orphan;
      if (in_orphans_folder) {
        orphan = OrphanNamedBy(view, ascii, 0, true);
        if (!orphan) return std::nullopt;
      } else if (!Find(view, cluster, deleted_scope, inside_deleted, parsed->components[i],
                       +[](const DirEntry& e) { return WalkTakesAsDirectory(e); }, siblings)) {
        if (cluster == root && ascii == kOrphansFolder) {
          in_orphans_folder = inside_deleted = true;
          resolved.storedPath.append(1, '\\').append(ascii);
          continue;
        }
        orphan = OrphanNamedBy(view, ascii, cluster == root ? 0 : cluster, false);
      }
      if (orphan) {
        in_orphans_folder = false;
        inside_deleted = true;
        cluster = *orphan;
        resolved.storedPath.append(1, '\\').append(ascii);
        continue;
      }
    }
    const auto named =
        Find(view, cluster, deleted_scope, inside_deleted, parsed->components[i],
             // Below a deleted directory every file is gone with it.
             !file            ? +[](const DirEntry& e) { return WalkTakesAsDirectory(e); }
             : inside_deleted ? +[](const DirEntry& e) { return WalkTakesAsFile(e); }
                              : +[](const DirEntry& e) { return e.IsDeleted() && WalkTakesAsFile(e); },
             siblings);
    if (!named) return std::nullopt;
    const std::string component = RowComponentOf(named->entry, file);
    resolved.storedPath.append(1, '\\').append(component);
    if (file) {
      resolved.longName = named->longName;
      if (named->firstByte) {
        resolved.restoredShortName = ShortNameText(named->entry);
        resolved.restoredShortName[0] = static_cast<char>(*named->firstByte);
      }
      return resolved;
    }
    // The deleted mark anywhere in the stored name, as the walks along the
    // stored path count it.
    DirectoryStep step;
    step.parent = cluster == root ? 0 : cluster;
    step.siblings = siblings;
    step.insideDeleted =
        inside_deleted || component.find(static_cast<char>(kDeletedMark)) != std::string::npos;
    step.rebuild = rebuild;
    const auto entered = EnteredDirectoryCluster(view, named->entry, step);
    if (!entered) return std::nullopt;
    cluster = *entered;
    inside_deleted = step.insideDeleted;
  }
  return std::nullopt;
}

}  // namespace quorvane
