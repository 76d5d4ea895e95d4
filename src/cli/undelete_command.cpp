// quorvane-cli undelete [-o DIR] [--nt-deleted] [--fragments] [--long-names]
// [--keep-going]
// ([--entry SIZE:CLUSTER] (PATH | --hex HEX))...: recovers each file in turn
// into DIR, going on after one that fails; with --keep-going a file's
// unreadable sectors are written as zeros and its copy goes on. PATH is a
// drive path (C:\DOCS\REPORT.TXT) or a host path to the deleted file's name
// in a directory under the mount point of a drive's volume
// (/media/alice/CARD/DCIM/?MG_0001.JPG). --entry names, for the path after
// it, which of several deleted entries of its name is meant, by the size
// and first cluster that search --details shows.
#include <atomic>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>
#include <system_error>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "cli/drive_names.h"
#include "cli/host_path.h"
#include "cli/row_text.h"
#include "cli/transfer_progress.h"
#include "recovery/silent_reports.h"
#include "recovery/undelete_engine.h"
#include "recovery/host_file_name.h"
#include "volume/format/long_name.h"
#include "volume/format/long_path.h"
#include "volume/path_text.h"

namespace quorvane::cli {

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: %s [--drive L:=PATH]... undelete [-o DIR] [--nt-deleted] [--fragments]\n"
               "       [--long-names] [--keep-going] ([--entry SIZE:CLUSTER] (PATH | --hex HEX))...\n",
               ProgramTitle().c_str());
  return 2;
}

// One file asked for: its path's bytes, and the path as typed (for its long
// names; empty for --hex).
struct Target {
  std::string path;
  std::string typed;
  std::optional<ExpectedEntry> entry;  // --entry before it
};

// --entry's SIZE:CLUSTER, both decimal.
std::optional<ExpectedEntry> ParseEntry(const std::string& text) {
  ExpectedEntry entry;
  const char* end = text.data() + text.size();
  const auto size = std::from_chars(text.data(), end, entry.size);
  if (size.ec != std::errc() || size.ptr == end || *size.ptr != ':') return std::nullopt;
  const auto cluster = std::from_chars(size.ptr + 1, end, entry.firstCluster);
  if (cluster.ec != std::errc() || cluster.ptr != end || cluster.ptr == size.ptr + 1) return std::nullopt;
  return entry;
}

// The path the engine takes for `target`, and the options that follow from
// how it was given; false after saying why there is none.
bool ResolveTarget(DriveTable& drives, Target& target, bool long_names, UndeleteOptions& options) {
  std::string& path = target.path;
  std::string typed = target.typed;
  if (!typed.empty() && IsHostFilePath(typed)) {
    // The host directory stands for its drive's directory, as for search;
    // the file's name, which the host no longer shows, follows it as given.
    std::string why;
    const auto file = DriveFileOfHostPath(drives, typed, why);
    if (!file) {
      PrintError(why);
      return false;
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
            ResolveLongPath(drives, Utf16OfUtf8(typed), rebuild ? &rebuild : nullptr, options.fragments)) {
      path = resolved->storedPath;
      const std::string long_name = Utf8OfUtf16(resolved->longName);
      options.longExtension = ExtensionOfLongName(resolved->longName);
      if (long_names && !long_name.empty())
        options.hostName = HostFileNameOfUtf8(long_name);
      else if (long_names && !resolved->restoredShortName.empty())
        options.hostName = HostFileName(resolved->restoredShortName);
    }
  }
  return true;
}

// How one file fared, for the exit status and the closing counts.
enum class Fared { kIntact, kNotIntact, kPartly, kNotUndeleted };

// `engine` serves every file of the run, so that what it gathers of a
// volume once (the claims of --fragments) is gathered once.
Fared Recover(CUndeleteEngine& engine, DriveTable& drives, const std::string& path,
              const UndeleteOptions& options, StatusText& status, ProgressBar& progress) {
  std::atomic<int32_t> abort{0};
  if (HasDriveRoot(path)) WarnIfMountedReadWrite(drives, DriveNumber(path[0]));
  engine.SetOptions(options);
  const int result = engine.UndeleteByPath(path, status, progress, abort);
  // A rebuilt cluster is never used silently: --quiet drops the status
  // that names it, so it gets a line of its own.
  if (Quiet() && !engine.rebuiltNote().empty()) PrintError(engine.rebuiltNote().substr(1));
  // The engine's box has said why an empty path recovers nothing, and the
  // "CreateFile () Failed !" box why a volume could not be opened; what the
  // engine leaves unsaid is said here, so that every failure ends with a reason.
  if (path.empty()) return Fared::kNotUndeleted;
  const UndeleteOutcome& outcome = engine.outcome();
  if (result == 0 && outcome.kind == UndeleteOutcome::Kind::kUndeleted)
    return outcome.condition == FileCondition::kIntact ? Fared::kIntact : Fared::kNotIntact;
  if (outcome.kind == UndeleteOutcome::Kind::kPartly) return Fared::kPartly;
  if (!HasDriveRoot(path)) {
    PrintError("'" + path + "' names no file: a path is a drive letter, a colon and a " +
               "backslash, then the directories and the file (C:\\DOCS\\REPORT.TXT)");
  }
  return Fared::kNotUndeleted;
}

// The size of the file `path` names, as the engine finds it (0 when it
// finds none), for a bar over several files' bytes. Nothing is said.
uint64_t SizeOfFile(DriveTable& drives, const std::string& path, UndeleteOptions options) {
  SilentReports silent;
  options.findOnly = true;
  options.stepOverClaims = false;  // the size alone is wanted: no walk of the whole volume
  std::atomic<int32_t> abort{0};
  CUndeleteEngine engine(drives, silent);
  engine.SetOptions(options);
  engine.UndeleteByPath(path, silent, silent, abort);
  return engine.outcome().found ? engine.outcome().size : 0;
}

// On a terminal the bar counts the clusters: of the engine's cluster
// counts (one every 20 clusters) only a file's first is written as a line.
class FirstCountOnly final : public StatusText {
 public:
  explicit FirstCountOnly(StatusText& status) : status_(status) {}
  void SetText(const std::string& text) override {
    const bool count = text.starts_with("Undeleting file ...\n");
    if (count && counted_) return;
    counted_ = counted_ || count;
    status_.SetText(text);
  }
  void NextFile() { counted_ = false; }

 private:
  StatusText& status_;
  bool counted_ = false;
};

}  // namespace

int RunUndeleteCommand(DriveTable& drives, const std::vector<std::string>& args) {
  std::string output_dir = ".";
  std::vector<Target> targets;
  UndeleteOptions options;
  bool long_names = false;
  std::optional<ExpectedEntry> entry;  // for the next path
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output_dir = args[++i];
    } else if (args[i] == "--nt-deleted") {
      options.rebuildClearedHighWord = true;
    } else if (args[i] == "--fragments") {
      options.stepOverClaims = options.fragments = true;
    } else if (args[i] == "--long-names") {
      long_names = true;
    } else if (args[i] == "--keep-going") {
      options.keepGoing = true;
    } else if (args[i] == "--hex" && i + 1 < args.size()) {
      // The path's bytes exactly, as search --json gives them in path_hex.
      const auto bytes = BytesOfHex(args[++i]);
      if (!bytes) {
        PrintError("--hex takes two hex digits per byte of the path");
        return 2;
      }
      targets.push_back({*bytes, {}, std::exchange(entry, std::nullopt)});
    } else if (args[i] == "--entry" && i + 1 < args.size()) {
      entry = ParseEntry(args[++i]);
      if (!entry) {
        PrintError("--entry takes SIZE:CLUSTER, the size and first cluster search --details shows");
        return 2;
      }
    } else if (args[i].empty() || args[i][0] != '-' || args[i] == "-") {
      // A listed path copied from a terminal comes back as text.
      targets.push_back({RowBytes(args[i], NamesOfDrivePath(drives, args[i])), args[i],
                         std::exchange(entry, std::nullopt)});
    } else {
      return Usage();
    }
  }
  if (targets.empty() || entry) return Usage();
  // The engine creates each recovered file in the output directory.
  std::error_code error;
  if (!std::filesystem::is_directory(output_dir, error)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    std::fprintf(stderr, "%s: cannot use output directory %s: %s\n", ProgramTitle().c_str(),
                 output_dir.c_str(), error.message().c_str());
    return 1;
  }
  options.outputDirectory = output_dir;

  // On a terminal the status texts are shown as they come, the bar
  // standing for the cluster counts after the first; elsewhere only each
  // file's last (a status every 20 clusters would make 13,000 lines of a
  // GiB that nobody reads).
  StderrStatus shown;
  FirstCountOnly shown_once(shown);
  LastStatus last;
  const bool every_text = StderrIsTerminal();
  StatusText& status = every_text || Quiet() ? static_cast<StatusText&>(shown_once) : last;
  StderrProgress progress;
  const bool several = targets.size() > 1;
  // Several files on a terminal: one bar over all their bytes, the files
  // found first for their sizes.
  const bool one_bar = several && every_text && !Quiet();
  std::vector<std::optional<UndeleteOptions>> resolved(targets.size());
  std::vector<bool> tried(targets.size(), false);
  auto resolve = [&](size_t k) {
    if (tried[k]) return;
    tried[k] = true;
    UndeleteOptions file_options = options;
    file_options.expectedEntry = targets[k].entry;
    if (ResolveTarget(drives, targets[k], long_names, file_options)) resolved[k] = file_options;
  };
  std::vector<uint64_t> sizes(targets.size(), 0);
  uint64_t total_bytes = 0;
  for (size_t k = 0; one_bar && k < targets.size(); ++k) {
    resolve(k);
    if (resolved[k]) total_bytes += sizes[k] = SizeOfFile(drives, targets[k].path, *resolved[k]);
  }
  std::optional<ByteProgress> bytes;
  if (one_bar) bytes.emplace(total_bytes, targets.size());
  size_t counts[4] = {};
  // Boxes say why the drive of the file being recovered could not be opened.
  int32_t drive_of_file = 0;
  StderrMessageBoxes boxes([&] { return drives.OpenFailure(drive_of_file); });
  CUndeleteEngine engine(drives, boxes);
  for (size_t k = 0; k < targets.size(); ++k) {
    Target& target = targets[k];
    const std::string number = std::to_string(k + 1) + "/" + std::to_string(targets.size());
    if (several) {
      // Which file the texts and messages that follow are about.
      progress.Restart(number + " ");
      if (bytes) bytes->Clear();
      const std::string shown_path = target.typed.empty() ? Latin1ToUtf8(target.path) : target.typed;
      const std::string line = std::string(StderrIsTerminal() ? "\r\033[K" : "") + "[" + number +
                               "] " + shown_path + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
    }
    shown_once.NextFile();
    resolve(k);
    ProgressBar& bar = bytes ? bytes->BeginFile(sizes[k]) : static_cast<ProgressBar&>(progress);
    drive_of_file = target.path.empty() ? 0 : DriveNumber(target.path[0]);
    const Fared fared = resolved[k] ? Recover(engine, drives, target.path, *resolved[k], status, bar)
                                    : Fared::kNotUndeleted;
    if (bytes) bytes->EndFile();
    last.Flush();
    ++counts[static_cast<size_t>(fared)];
  }
  bytes.reset();  // its last state stays on the terminal, above the counts
  const size_t intact = counts[0], not_intact = counts[1], partly = counts[2], failed = counts[3];
  if (several) {
    std::fprintf(stderr, "%s: undeleted %zu, partly undeleted %zu, not undeleted %zu, not intact %zu\n",
                 ProgramTitle().c_str(), intact + not_intact, partly, failed, not_intact);
  }
  // 1: a file did not come back whole; 3: every file came back whole, but
  // not every one is known to be its own bytes.
  if (partly + failed > 0) return 1;
  return not_intact > 0 ? 3 : 0;
}

}  // namespace quorvane::cli
