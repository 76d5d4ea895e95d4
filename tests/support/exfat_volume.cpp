#include "support/exfat_volume.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/partitioned_image.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/format/directory_walk.h"
#include "volume/format/exfat_boot_sector.h"
#include "volume/format/exfat_upcase_table.h"
#include "volume/format/volume_view.h"
#include "volume/host/drive_table.h"
#include "volume/host/sector_reader.h"

namespace quorvane::testing {

namespace fs = std::filesystem;

namespace {

// A loop device that must be had.
struct AttachedLoop : LoopDevice {
  AttachedLoop(const std::string& image, uint32_t sector_bytes) : LoopDevice(image, {.sector_bytes = sector_bytes}) {
    if (device().empty()) throw std::runtime_error("losetup " + image + " failed");
  }
};

class FuseMount {
 public:
  FuseMount(const std::string& device, const fs::path& dir) : dir_(dir) {
    RunCommandOrThrow({"mount.exfat-fuse", device, dir.string()});
  }
  ~FuseMount() {
    ::sync();
    RunCommand({"umount", dir_.string()});
  }
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;

 private:
  fs::path dir_;
};

std::string Field(const std::string& text, const std::string& name) {
  const size_t at = text.find("\n" + name);
  if (at == std::string::npos) return {};
  const size_t begin = text.find_first_not_of(" \t", at + 1 + name.size());
  return text.substr(begin, text.find('\n', begin) - begin);
}

}  // namespace

std::string ExFatVolumesUnavailable() {
  if (::geteuid() != 0) return "loop devices and mounts need root";
  if (::access("/dev/loop-control", R_OK | W_OK) != 0) return "no /dev/loop-control";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no /dev/fuse";
  for (const char* tool : {"mkfs.exfat", "mount.exfat-fuse", "losetup", "fls", "istat"})
    if (RunCommand({"sh", "-c", std::string("command -v ") + tool}).status != 0)
      return std::string(tool) + " is not installed";
  return {};
}

ExFatVolume::ExFatVolume(std::string image_path, const Options& options)
    : path_(std::move(image_path)), sector_bytes_(options.sector_bytes) {
  fs::remove(path_);
  { std::ofstream(path_, std::ios::binary); }
  fs::resize_file(path_, uint64_t{options.mib} << 20);
  std::vector<std::string> argv{"mkfs.exfat", "-c", std::to_string(options.cluster_bytes)};
  if (!options.label.empty()) argv.insert(argv.end(), {"-L", options.label});
  if (sector_bytes_ == 512) {
    argv.push_back(path_);
    RunCommandOrThrow(argv);
  } else {
    AttachedLoop loop(path_, sector_bytes_);
    argv.push_back(loop.device());
    RunCommandOrThrow(argv);
  }
}

ExFatVolume& ExFatVolume::Change(const std::function<void(const fs::path& root)>& change) {
  TempDir mount_point;
  AttachedLoop loop(path_, sector_bytes_);
  FuseMount mount(loop.device(), mount_point.path());
  change(mount_point.path());
  return *this;
}

void AppendToFile(const fs::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot append to " + path.string());
}

std::vector<SleuthKitFile> SleuthKitFiles(const std::string& image) {
  const CommandResult listing = RunCommand({"env", "TZ=UTC", "fls", "-r", "-p", image}, {.cwd = {}, .stdout_only = true});
  if (listing.status != 0) throw std::runtime_error("fls " + image + ": " + listing.output);
  std::vector<SleuthKitFile> files;
  std::istringstream lines(listing.output);
  for (std::string line; std::getline(lines, line);) {
    // "r/r * 393:\tgone.bin", "d/d 396:\tCafé"
    const size_t colon = line.find(":\t");
    if (colon == std::string::npos || line.size() < 4) continue;
    SleuthKitFile file;
    file.path = line.substr(colon + 2);
    // The volume's own files, and the label, which fls lists as a file.
    if (file.path.starts_with('$') || file.path.ends_with("(Volume Label Entry)")) continue;
    if (line[0] != 'r' && line[0] != 'd') continue;
    file.directory = line[0] == 'd';
    file.deleted = line.find(" * ") != std::string::npos && line.find(" * ") < colon;
    file.inode = std::stoull(line.substr(line.find_last_of(' ', colon) + 1));
    const CommandResult stat = RunCommand({"env", "TZ=UTC", "istat", image, std::to_string(file.inode)}, {.cwd = {}, .stdout_only = true});
    if (stat.status != 0) throw std::runtime_error("istat " + image + ": " + stat.output);
    file.size = std::stoull(Field(stat.output, "Size:"));
    file.written = Field(stat.output, "Written:");
    file.created = Field(stat.output, "Created:");
    std::istringstream sectors(stat.output.substr(stat.output.find("Sectors:") + 8));
    for (uint64_t sector; sectors >> sector;)
      if (sector != 0) file.sectors.push_back(sector);
    files.push_back(std::move(file));
  }
  return files;
}

const ExFatListed* ExFatListing::Find(const std::string& path) const {
  for (const ExFatListed& file : files)
    if (file.path == path) return &file;
  return nullptr;
}

namespace {

void ListDirectory(VolumeView& view, const DirectoryExtent& extent, const std::string& prefix,
                   ExFatListing& listing, int depth) {
  ExFatEntrySetReader reader;
  std::vector<uint32_t> clusters;
  std::vector<uint8_t> bytes;  // the directory's entries so far, for each set's raw bytes
  const size_t per_cluster = view.params().ClusterBytes() / kExFatEntrySize;
  std::vector<std::pair<ExFatFileSet, uint64_t>> sets;
  const WalkEnd end = WalkDirectory(view, extent, [&](const WalkedEntry& entry) {
    if (entry.index == 0) clusters.push_back(entry.clusterNumber);
    bytes.insert(bytes.end(), entry.raw.begin(), entry.raw.end());
    reader.Add(entry.raw);
    while (auto item = reader.Next()) {
      if (auto* set = std::get_if<ExFatFileSet>(&*item)) {
        sets.emplace_back(std::move(*set), 0);
      } else if (auto* damaged = std::get_if<ExFatDamagedSet>(&*item)) {
        listing.damaged.push_back(*damaged);
      } else if (depth == 0) {
        listing.root.Take(*item, 0);
      }
    }
    return reader.AtEnd() ? Visit::kStop : Visit::kGoOn;
  });
  if (end.kind == WalkEnd::Kind::kUnreadable) throw std::runtime_error("a directory of the image is unreadable");
  reader.Finish();
  while (auto item = reader.Next())
    if (auto* damaged = std::get_if<ExFatDamagedSet>(&*item)) listing.damaged.push_back(*damaged);
  for (auto& [set, unused] : sets) {
    ExFatListed listed;
    listed.path = prefix + set.nameUtf8;
    listed.cluster = clusters[set.entryIndex / per_cluster];
    listed.crossesCluster = set.entryIndex / per_cluster != (set.entryIndex + set.secondaryCount) / per_cluster;
    const auto raw = std::span(bytes).subspan(set.entryIndex * kExFatEntrySize,
                                              (set.secondaryCount + 1u) * kExFatEntrySize);
    listed.raw.assign(raw.begin(), raw.end());
    listed.set = std::move(set);
    listing.files.push_back(listed);
    if (!listed.set.isDirectory || depth > 8) continue;
    DirectoryExtent sub{listed.set.firstCluster};
    if (listed.set.noFatChain) {
      sub.contiguous = true;
      sub.clusters = static_cast<uint32_t>(
          (listed.set.size + view.params().ClusterBytes() - 1) / view.params().ClusterBytes());
    }
    if (listed.set.deleted && !listed.set.noFatChain) sub.scope = DirectoryScope::kFirstClusterOnly;
    ListDirectory(view, sub, listed.path + "/", listing, depth + 1);
  }
}

}  // namespace

ExFatListing ListExFatVolume(const std::string& image) {
  DriveTable drives;
  drives.Map('C', image);
  SectorReader reader(drives);
  const auto boot = reader.ReadSectors(3, 0, 1);
  if (!boot) throw std::runtime_error("cannot read " + image);
  ExFatListing listing;
  const auto params = ExFatParams(*boot, 3);
  if (!params) throw std::runtime_error(image + " holds no exFAT volume this system reads");
  listing.params = *params;
  VolumeView view(reader, listing.params);
  ListDirectory(view, DirectoryExtent{static_cast<uint32_t>(listing.params.m_nRootCluster)}, "", listing, 0);
  if (listing.root.upcase) listing.upcase = LoadExFatUpcaseTable(view, *listing.root.upcase);
  return listing;
}

}  // namespace quorvane::testing
