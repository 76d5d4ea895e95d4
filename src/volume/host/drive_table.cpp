#include "volume/host/drive_table.h"

#include <filesystem>

namespace quorvane {

namespace {
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

bool DriveTable::Map(char letter, const std::string& path) {
  if (!IsLetter(letter) || path.empty()) return false;
  // Kept absolute: the output directory becomes the current directory later.
  // Paths that begin with two separators (\\.\D:, \\?\C:\IMG, //host/x) are
  // absolute already and are kept as given: on Windows the standard library
  // would mangle their root.
  const auto is_separator = [](char c) {
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
  };
  const bool two_separators = path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
  std::error_code error;
  const auto absolute = two_separators ? std::filesystem::path(path)
                                       : std::filesystem::absolute(path, error);
  const int32_t drive = DriveNumber(letter);
  paths_[drive] = error ? path : absolute.string();
  facts_.erase(drive);
  udisks_objects_.erase(drive);
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
  for (const auto& [drive, path] : named) Map(DriveLetter(drive), path);
  for (const std::string& path : bare) {
    if (!MapNext(path)) {
      error = "no free drive letter for '" + path + "'";
      return false;
    }
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
