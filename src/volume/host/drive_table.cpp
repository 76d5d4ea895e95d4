#include "volume/host/drive_table.h"

#include <filesystem>
#include <optional>

namespace quorvane {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Kept absolute: the output directory becomes the current directory later.
// Paths that begin with two separators (\\.\D:, \\?\C:\IMG, //host/x) are
// absolute already and are kept as given: on Windows the standard library
// would mangle their root.
std::string AbsolutePath(const std::string& path) {
  const auto is_separator = [](char c) {
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
  };
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) return path;
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

// One drive that the arguments ask for: a path, read whole or in part.
struct PlannedDrive {
  std::string path;
  std::optional<PartitionPlace> partition;
};

std::string Describe(const PlannedDrive& planned) {
  return planned.partition ? "partition " + std::to_string(planned.partition->number) + " of '" +
                                 planned.path + "'"
                           : "'" + planned.path + "'";
}

}  // namespace

bool DriveTable::Map(char letter, const std::string& path) {
  if (!IsLetter(letter) || path.empty()) return false;
  const int32_t drive = DriveNumber(letter);
  paths_[drive] = AbsolutePath(path);
  partitions_.erase(drive);
  facts_.erase(drive);
  udisks_objects_.erase(drive);
  return true;
}

bool DriveTable::MapPartition(char letter, const std::string& path, const PartitionPlace& partition) {
  if (!Map(letter, path)) return false;
  partitions_[DriveNumber(letter)] = partition;
  return true;
}

bool DriveTable::MapNext(const std::string& path) {
  for (char letter = 'C'; letter <= 'Z'; ++letter)
    if (!paths_.contains(DriveNumber(letter))) return Map(letter, path);
  return false;
}

bool DriveTable::ParseArguments(const std::vector<std::string>& args, std::string& error) {
  // Named letters first, so that a bare path given before "--drive C:=..."
  // neither takes C: nor is silently replaced by it.
  std::vector<std::string> bare;
  std::map<int32_t, std::string> named;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string mapping;
    if (arg == "--drive") {
      if (i + 1 == args.size()) {
        error = "--drive needs L:=PATH";
        return false;
      }
      mapping = args[++i];
    } else if (arg.starts_with("--drive=")) {
      mapping = arg.substr(8);
    } else if (!arg.empty() && arg[0] != '-') {
      bare.push_back(arg);
      continue;
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
    if (mapping.size() < 4 || !IsLetter(mapping[0]) || mapping[1] != ':' || mapping[2] != '=') {
      error = "bad drive mapping '" + mapping + "': expected L:=PATH";
      return false;
    }
    if (!named.emplace(DriveNumber(mapping[0]), mapping.substr(3)).second) {
      error = std::string("drive ") + DriveLetter(DriveNumber(mapping[0])) +
              ": is given twice";
      return false;
    }
  }
  // Each path's drives: its FAT partitions, or the path read whole. It is
  // opened once here; one that cannot be opened is a drive all the same, so
  // that its commands say why.
  const auto drives_of = [](const std::string& path) {
    std::vector<PlannedDrive> drives;
    std::string why;
    if (auto disk = OpenPath(path, why))
      for (const PartitionPlace& partition : FatPartitionsOf(*disk)) drives.push_back({path, partition});
    if (drives.empty()) drives.push_back({path, std::nullopt});
    return drives;
  };
  std::map<int32_t, PlannedDrive> planned;
  for (const auto& [first, path] : named) {
    const std::vector<PlannedDrive> drives = drives_of(path);
    if (first + drives.size() - 1 > static_cast<size_t>(DriveNumber('Z'))) {
      error = "the " + std::to_string(drives.size()) + " FAT partitions of '" + path + "' from " +
              DriveLetter(first) + ": on need drive letters past Z:";
      return false;
    }
    for (size_t k = 0; k < drives.size(); ++k) {
      const int32_t drive = first + static_cast<int32_t>(k);
      if (const auto taken = planned.find(drive); taken != planned.end()) {
        error = std::string("drive ") + DriveLetter(drive) + ": is given twice: to " +
                Describe(taken->second) + " and to " + Describe(drives[k]);
        return false;
      }
      planned.emplace(drive, drives[k]);
    }
  }
  for (const std::string& path : bare) {
    for (const PlannedDrive& drive : drives_of(path)) {
      int32_t free = DriveNumber('C');
      while (free <= DriveNumber('Z') && (planned.contains(free) || paths_.contains(free))) ++free;
      if (free > DriveNumber('Z')) {
        error = "no free drive letter for " + Describe(drive);
        return false;
      }
      planned.emplace(free, drive);
    }
  }
  for (const auto& [drive, mapping] : planned) {
    if (mapping.partition)
      MapPartition(DriveLetter(drive), mapping.path, *mapping.partition);
    else
      Map(DriveLetter(drive), mapping.path);
  }
  return true;
}

std::string DriveTable::PathOf(int32_t drive) const {
  auto it = paths_.find(drive);
  return it == paths_.end() ? std::string() : it->second;
}

std::string DriveTable::OpenFailure(int32_t drive) const {
  std::lock_guard lock(failures_mutex_);
  auto it = failures_.find(drive);
  return it == failures_.end() ? std::string() : it->second;
}

void DriveTable::NoteOpenResult(int32_t drive, const std::string& why) {
  std::lock_guard lock(failures_mutex_);
  if (why.empty())
    failures_.erase(drive);
  else
    failures_[drive] = why;
}

const PartitionPlace* DriveTable::PartitionOf(int32_t drive) const {
  auto it = partitions_.find(drive);
  return it == partitions_.end() ? nullptr : &it->second;
}

const VolumeFacts* DriveTable::FactsOf(int32_t drive) const {
  auto it = facts_.find(drive);
  return it == facts_.end() ? nullptr : &it->second;
}

void DriveTable::NoteOpenedIdentity(int32_t drive, const std::optional<FileIdentity>& identity) {
  if (!identity) return;
  std::lock_guard lock(failures_mutex_);
  opened_[drive] = *identity;
}

std::optional<FileIdentity> DriveTable::OpenedIdentity(int32_t drive) const {
  std::lock_guard lock(failures_mutex_);
  auto it = opened_.find(drive);
  return it == opened_.end() ? std::nullopt : std::optional(it->second);
}

}  // namespace quorvane
