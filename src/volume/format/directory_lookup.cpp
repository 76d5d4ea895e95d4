#include "volume/format/directory_lookup.h"

#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/exfat_directory.h"
#include "volume/format/opened_volume.h"
#include "volume/format/long_name.h"
#include "volume/path_text.h"
#include "volume/host/sector_reader.h"
#include "volume/format/volume_view.h"

namespace quorvane {

namespace {

// One operation on one drive: the volume stays open and its FAT and
// directory clusters are cached while the object lives.
class VolumeSession {
 public:
  // A volume that cannot be read holds no directory: the caller says so in
  // its own words.
  VolumeSession(DriveSource& drives, int32_t drive) {
    if (auto opened = OpenedVolume::Open(drives, drive)) volume_ = std::move(*opened);
  }

  bool usable() const { return volume_ != nullptr; }
  uint32_t root() const { return volume_->RootCluster(); }

  // The live subdirectories of the directory whose first cluster is
  // `cluster`, following its chain. A chain that leaves the volume, comes
  // back to a cluster already read or cannot be read ends the directory
  // there. None when the first cluster itself cannot be read.
  std::optional<std::vector<DirectoryName>> List(const DirectoryExtent& extent) {
    std::vector<DirectoryName> found;
    const FatParams& params = volume_->params();
    if (volume_->IsExFat()) {
      // Whole names: the stored name is the component, in UTF-8.
      const WalkEnd end = ForEachExFatSet(volume_->view(), extent, [&](const ExFatFileSet& set) {
        if (set.isDirectory && !set.deleted)
          found.push_back({set.nameUtf8, set.name, set.firstCluster, ExFatDirectoryExtent(params, set, false)});
        return false;
      });
      if (end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster) return std::nullopt;
      return found;
    }
    LongNameCollector long_name;
    const WalkEnd end = WalkDirectory(volume_->view(), extent, [&](const WalkedEntry& at) {
      const DirEntry entry = DirEntry::Parse(at.raw);
      if (entry.IsEnd()) return Visit::kStop;  // the directory ends here
      if (entry.IsLongNamePart()) {
        long_name.AddPart(at.raw);
        return Visit::kGoOn;
      }
      std::optional<std::u16string> name = long_name.TakeFor(at.raw);
      const bool live_directory = !entry.IsDeleted() && !entry.IsDotEntry() &&
                                  entry.IsDirectory() && !entry.IsVolumeLabel();
      if (live_directory)
        found.push_back({ShortNameText(entry),
                         name ? std::move(*name) : ShortNameShownInLowerCase(entry),
                         params.FirstClusterOf(entry), {params.FirstClusterOf(entry)}});
      return Visit::kGoOn;
    });
    if (end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster) return std::nullopt;
    return found;
  }

  // Walks `components` from the root directory. Returns the first cluster
  // of the directory reached and appends each component's stored short name
  // to `short_path`, or none when a component names no live directory.
  std::optional<DirectoryExtent> Walk(const std::vector<std::u16string>& components,
                                      std::string& short_path) {
    DirectoryExtent cluster{root()};
    for (const std::u16string& component : components) {
      const auto names = List(cluster);
      if (!names) return std::nullopt;
      const DirectoryName* match = nullptr;
      for (const DirectoryName& name : *names) {
        if (NamesEqualIgnoringCase(component, WidenLatin1(name.shortName)) ||
            (!name.longName.empty() && NamesEqualIgnoringCase(component, name.longName))) {
          match = &name;
          break;
        }
      }
      // A directory that points outside the volume cannot be entered.
      if (!match || !volume_->params().IsClusterInVolume(match->firstCluster)) return std::nullopt;
      short_path.append(1, '\\').append(match->shortName);
      cluster = match->extent;
    }
    return cluster;
  }

 private:
  std::unique_ptr<OpenedVolume> volume_;
};

}  // namespace

std::optional<std::string> DirectoryLookup::ShortPath(std::u16string_view path) {
  const auto parsed = ParseDrivePath(path);
  if (!parsed) return std::nullopt;
  VolumeSession session(drives_, parsed->drive);
  if (!session.usable()) return std::nullopt;
  std::string short_path{DriveLetter(parsed->drive), ':'};
  if (!session.Walk(parsed->components, short_path)) return std::nullopt;
  return short_path;
}

std::optional<std::vector<DirectoryName>> DirectoryLookup::Subdirectories(std::u16string_view path) {
  const auto parsed = ParseDrivePath(path);
  if (!parsed) return std::nullopt;
  VolumeSession session(drives_, parsed->drive);
  if (!session.usable()) return std::nullopt;
  std::string short_path;
  const auto cluster = session.Walk(parsed->components, short_path);
  if (!cluster) return std::nullopt;
  return session.List(*cluster);
}

std::vector<int32_t> DirectoryLookup::Fat32Drives() {
  std::vector<int32_t> drives;
  for (int32_t drive = 1; drive <= 26; ++drive) {
    if (VolumeSession(drives_, drive).usable()) drives.push_back(drive);
  }
  return drives;
}

}  // namespace quorvane
