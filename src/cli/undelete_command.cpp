// quorvane-cli undelete [-o DIR] [--nt-deleted] [--long-names] PATH | --hex HEX:
// recovers one file into DIR. PATH is a drive path (C:\DOCS\REPORT.TXT) or
// a host path to the deleted file's name in a directory under the mount
// point of a drive's volume (/media/alice/CARD/DCIM/?MG_0001.JPG).
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "cli/drive_names.h"
#include "cli/host_path.h"
#include "cli/row_text.h"
#include "recovery/undelete_engine.h"
#include "recovery/host_file_name.h"
#include "volume/format/long_name.h"
#include "volume/format/long_path.h"
#include "volume/path_text.h"

namespace quorvane::cli {

namespace {
int Usage() {
  std::fprintf(stderr,
               "usage: %s [--drive L:=PATH]... undelete [-o DIR] [--nt-deleted] [--long-names]\n"
               "       PATH | --hex HEX\n",
               ProgramTitle().c_str());
  return 2;
}
}  // namespace

int RunUndeleteCommand(DriveTable& drives, const std::vector<std::string>& args) {
  std::string output_dir = ".";
  std::optional<std::string> path;
  std::string typed;  // the path as given, for its long names
  UndeleteOptions options;
  bool long_names = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output_dir = args[++i];
    } else if (args[i] == "--nt-deleted") {
      options.rebuildClearedHighWord = true;
    } else if (args[i] == "--long-names") {
      long_names = true;
    } else if (args[i] == "--hex" && i + 1 < args.size() && !path) {
      // The path's bytes exactly, as search --json gives them in path_hex.
      path = BytesOfHex(args[++i]);
      if (!path) {
        PrintError("--hex takes two hex digits per byte of the path");
        return 2;
      }
    } else if (!path && (args[i].empty() || args[i][0] != '-' || args[i] == "-")) {
      // A listed path copied from a terminal comes back as text.
      path = RowBytes(args[i], NamesOfDrivePath(drives, args[i]));
      typed = args[i];
    } else {
      return Usage();
    }
  }
  if (!path) return Usage();
  if (!typed.empty() && IsHostFilePath(typed)) {
    // The host directory stands for its drive's directory, as for search;
    // the file's name, which the host no longer shows, follows it as given.
    std::string why;
    const auto file = DriveFileOfHostPath(drives, typed, why);
    if (!file) {
      PrintError(why);
      return 1;
    }
    // The directory's stored bytes, then the name as a drive path takes it:
    // a listed name copied from a terminal comes back to its bytes, and the
    // long-name lookup below reads the whole path as text.
    const DriveNames names = NamesOfDrivePath(drives, file->driveDirectory);
    path = file->driveDirectory + "\\" + RowBytes(file->name, names);
    typed = RowText(file->driveDirectory, names) + "\\" + file->name;
  }
  // With the new options a path of long names is taken too; a listed 8.3
  // path passes as it is.
  if ((long_names || options.rebuildClearedHighWord) && !typed.empty()) {
    // Deleted directories' first clusters are rebuilt as the search rebuilt them.
    const DirectoryClusterRebuild rebuild =
        options.rebuildClearedHighWord ? ClearedHighWordRebuild() : DirectoryClusterRebuild();
    if (const auto resolved =
            ResolveLongPath(drives, Utf16OfUtf8(typed), rebuild ? &rebuild : nullptr)) {
      path = resolved->storedPath;
      const std::string long_name = Utf8OfUtf16(resolved->longName);
      options.longExtension = ExtensionOfLongName(resolved->longName);
      if (long_names && !long_name.empty())
        options.hostName = HostFileNameOfUtf8(long_name);
      else if (long_names && !resolved->restoredShortName.empty())
        options.hostName = HostFileName(resolved->restoredShortName);
    }
  }
  // The output directory becomes the current directory, where the engine
  // creates the recovered file.
  std::error_code error;
  std::filesystem::current_path(output_dir, error);
  if (error) {
    std::fprintf(stderr, "%s: cannot use output directory %s: %s\n", ProgramTitle().c_str(),
                 output_dir.c_str(), error.message().c_str());
    return 1;
  }
  // A status text every 20 clusters: when nobody watches, gather them into
  // large writes.
  if (!StderrIsTerminal()) std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
  StderrStatus status;
  StderrProgress progress;
  StderrMessageBoxes boxes([&] { return drives.OpenFailure(DriveNumber((*path)[0])); });
  std::atomic<int32_t> abort{0};
  if (HasDriveRoot(*path)) WarnIfMountedReadWrite(drives, DriveNumber((*path)[0]));
  CUndeleteEngine engine(drives, boxes);
  engine.SetOptions(options);
  const int result = engine.UndeleteByPath(*path, status, progress, abort);
  // A rebuilt cluster is never used silently: --quiet drops the status
  // that names it, so it gets a line of its own.
  if (Quiet() && !engine.rebuiltNote().empty()) PrintError(engine.rebuiltNote().substr(1));
  // The engine's box has said why an empty path recovers nothing, and the
  // "CreateFile () Failed !" box why a volume could not be opened; what the
  // engine leaves unsaid is said here, so that every failure ends with a reason.
  if (path->empty()) return 1;
  if (result == 0) return 0;
  if (!HasDriveRoot(*path)) {
    PrintError("'" + *path + "' names no file: a path is a drive letter, a colon and a " +
               "backslash, then the directories and the file (C:\\DOCS\\REPORT.TXT)");
  }
  return 1;
}

}  // namespace quorvane::cli
