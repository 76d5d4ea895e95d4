#include "volume/directory_lookup.h"

#include "volume/chain_guard.h"
#include "volume/dir_entry.h"
#include "volume/fat_params.h"
#include "volume/long_name.h"
#include "recovery/message_box_host.h"
#include "volume/sector_reader.h"
#include "volume/volume_view.h"

namespace quorvane {

namespace {

// The lookup reports nothing: a volume that cannot be opened holds no
// directory, and the caller says so in its own words.
class NoBoxes final : public MessageBoxHost {
 public:
  int ShowMessageBox(const std::string&, const std::optional<std::string>&, uint32_t) override {
    return kIdOk;
  }
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// One operation on one drive: the volume stays open and its FAT and
// directory clusters are cached while the object lives.
class VolumeSession {
 public:
  VolumeSession(DriveSource& drives, int32_t drive)
      : reader_(drives, boxes_, ReaderVariant::kSearch), view_(reader_, params_) {
    params_.m_nDrive = drive;
    usable_ = params_.ReadBootSector(reader_) == 0 && params_.IsUsableFat32();
  }

  bool usable() const { return usable_; }
  uint32_t root() const { return static_cast<uint32_t>(params_.m_nRootCluster); }

  // The live subdirectories of the directory whose first cluster is
  // `cluster`, following its chain. A chain that leaves the volume, comes
  // back to a cluster already read or cannot be read ends the directory
  // there. None when the first cluster itself cannot be read.
  std::optional<std::vector<DirectoryName>> List(uint32_t cluster) {
    std::vector<DirectoryName> found;
    ChainGuard chain(params_);
    LongNameCollector long_name;
    bool first = true;
    while (chain.Enter(cluster)) {
      const auto bytes = view_.ReadCluster(cluster);
      if (!bytes) break;
      first = false;
      for (size_t i = 0; i < EntriesIn(*bytes); ++i) {
        const auto entry = EntryBytes(*bytes, i);
        const uint8_t b0 = entry[0];
        const uint8_t attr = entry[11];
        if (b0 == 0x00) return found;  // the directory ends here
        if (attr == kAttrLongName) {
          long_name.AddPart(entry);
          continue;
        }
        std::optional<std::u16string> name = long_name.TakeFor(entry);
        const bool live_directory = b0 != kDeletedMark && b0 != '.' &&
                                    (attr & kAttrDirectory) != 0 &&
                                    (attr & kAttrVolumeLabel) == 0;
        if (!live_directory) continue;
        found.push_back({ShortNameText(entry),
                         name ? std::move(*name) : ShortNameShownInLowerCase(entry),
                         DirEntry::Parse(entry).FirstCluster()});
      }
      const auto next = view_.FatEntry(cluster);
      if (!next || FatParams::IsEndOfChain(*next)) break;
      cluster = *next;
    }
    if (first) return std::nullopt;
    return found;
  }

  // Walks `components` from the root directory. Returns the first cluster
  // of the directory reached and appends each component's stored short name
  // to `short_path`, or none when a component names no live directory.
  std::optional<uint32_t> Walk(const std::vector<std::u16string>& components,
                               std::string& short_path) {
    uint32_t cluster = root();
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
      if (!match || !params_.IsClusterInVolume(match->firstCluster)) return std::nullopt;
      short_path.append(1, '\\').append(match->shortName);
      cluster = match->firstCluster;
    }
    return cluster;
  }

 private:
  NoBoxes boxes_;
  SectorReader reader_;
  FatParams params_;
  VolumeView view_;
  bool usable_ = false;
};

}  // namespace

bool IsDrivePath(std::u16string_view text) {
  return text.size() >= 2 && IsLetter(text[0]) && text[1] == u':';
}

std::optional<DrivePath> ParseDrivePath(std::u16string_view text) {
  if (!IsDrivePath(text)) return std::nullopt;
  DrivePath path;
  path.drive = static_cast<int32_t>(UpcaseUcs2(text[0]) - u'A' + 1);
  size_t pos = 2;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::u16string component(text.substr(pos, end - pos));
    pos = end + 1;
    if (component == u"..") {
      if (!path.components.empty()) path.components.pop_back();
      continue;
    }
    while (!component.empty() && (component.back() == u'.' || component.back() == u' '))
      component.pop_back();
    if (!component.empty()) path.components.push_back(std::move(component));
  }
  return path;
}

std::optional<std::string> DirectoryLookup::ShortPath(std::u16string_view path) {
  const auto parsed = ParseDrivePath(path);
  if (!parsed) return std::nullopt;
  VolumeSession session(drives_, parsed->drive);
  if (!session.usable()) return std::nullopt;
  std::string short_path{static_cast<char>('A' + parsed->drive - 1), ':'};
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
