#include "volume/format/long_path.h"

#include "volume/format/dir_entry.h"
#include "volume/format/directory_chain.h"
#include "volume/format/fat_params.h"
#include "volume/format/long_name.h"
#include "volume/path_text.h"
#include "volume/host/sector_reader.h"
#include "volume/format/volume_view.h"

namespace quorvane {
namespace {

// A short entry as a path component can name it.
struct Named {
  DirEntry entry;
  std::u16string longName;
  std::optional<uint8_t> firstByte;  // a deleted entry's, as restored
};

// The component as a search row holds it: 8 name bytes for a directory;
// 8 name bytes, a full stop and 3 extension bytes for a file.
std::string RowComponent(const DirEntry& entry, bool file) {
  std::string text(entry.NameBytes());
  if (file) text.append(1, '.').append(entry.ExtBytes());
  return text;
}

// Whether the component names the entry by its 8.3 name: as a listed row
// holds it (the deleted mark and blanks as stored), or as a person types it. A deleted entry's
// first byte is the deleted mark: any first letter names it, unless the
// checksum has restored the letter.
bool NamesShortName(std::u16string_view component, const Named& named) {
  // Trailing blanks and full stops go, as they go from the component.
  std::string row = RowComponent(named.entry, !named.entry.IsDirectory());
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

bool Matches(std::u16string_view component, const Named& named) {
  return (!named.longName.empty() && NamesEqualIgnoringCase(component, named.longName)) ||
         NamesShortName(component, named);
}

// The first entry of the directory at `cluster` that `component` names and
// `wanted` accepts, with its long name.
std::optional<Named> Find(VolumeView& view, uint32_t cluster, bool first_cluster_only,
                          std::u16string_view component, bool (*wanted)(const DirEntry&)) {
  EntryNameCollector names;
  for (DirectoryChain chain(view, cluster,
                            first_cluster_only ? DirectoryChain::Scope::kFirstClusterOnly
                                               : DirectoryChain::Scope::kWholeChain);
       chain.AtCluster();) {
    const auto bytes = chain.Read();
    if (!bytes) return std::nullopt;
    for (size_t i = 0; i < EntriesIn(**bytes); ++i) {
      const auto raw = EntryBytes(**bytes, i);
      const DirEntry entry = DirEntry::Parse(raw);
      if (entry.IsEnd()) return std::nullopt;
      if (entry.IsLongNamePart()) {
        names.AddPart(raw);
        continue;
      }
      Named named{entry, {}, std::nullopt};
      named.longName = names.TakeFor(entry, raw, &named.firstByte);
      if (!entry.IsDotEntry() && !entry.IsVolumeLabel() && wanted(entry) && Matches(component, named))
        return named;
    }
    if (chain.Advance() != DirectoryChain::Step::kNext) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ResolvedFile> ResolveLongPath(DriveSource& drives, std::u16string_view path) {
  const auto parsed = ParseDrivePath(path);
  if (!parsed || parsed->components.empty()) return std::nullopt;
  SectorReader reader(drives);
  const auto boot = reader.ReadSectors(parsed->drive, 0, 1);
  if (!boot) return std::nullopt;
  const auto params = FatParams::FromBootSector(*boot, parsed->drive);
  if (!params) return std::nullopt;
  VolumeView view(reader, *params);

  ResolvedFile resolved;
  resolved.storedPath = {DriveLetter(parsed->drive), ':'};
  uint32_t cluster = static_cast<uint32_t>(params->m_nRootCluster);
  bool inside_deleted = false;
  for (size_t i = 0; i < parsed->components.size(); ++i) {
    const bool file = i + 1 == parsed->components.size();
    const auto named =
        Find(view, cluster, inside_deleted, parsed->components[i],
             file ? +[](const DirEntry& e) { return e.IsDeleted() && !e.IsDirectory(); }
                  : +[](const DirEntry& e) { return e.IsDirectory(); });
    if (!named) return std::nullopt;
    resolved.storedPath.append(1, '\\').append(RowComponent(named->entry, file));
    if (file) {
      resolved.longName = named->longName;
      if (named->firstByte) {
        resolved.restoredShortName = ShortNameText(named->entry);
        resolved.restoredShortName[0] = static_cast<char>(*named->firstByte);
      }
      return resolved;
    }
    cluster = named->entry.FirstCluster();
    inside_deleted = inside_deleted || named->entry.IsDeleted();
    if (!params->IsClusterInVolume(cluster)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace quorvane
