#include "cli/search_options.h"

#include <csignal>
#include <cstdio>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "cli/host_path.h"

namespace quorvane::cli {

namespace {

std::atomic<int32_t> g_abort{0};
static_assert(std::atomic<int32_t>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  g_abort.store(1);
  std::signal(SIGINT, SIG_DFL);
}

// A filter text as the search options dialog takes it: at most `limit` characters.
bool TakeFilter(const std::string& option, const std::string& text, size_t limit, int32_t& on,
                FilterBuffer& buffer) {
  if (text.size() > limit) {
    std::fprintf(stderr, "%s: %s takes at most %zu characters\n", ProgramTitle().c_str(),
                 option.c_str(), limit);
    return false;
  }
  on = 1;
  SetFilterText(buffer, text);
  return true;
}

}  // namespace

OptionTaken TakeSearchOption(const std::vector<std::string>& args, size_t& i,
                             SearchRequest& request) {
  SearchSettings& settings = request.settings;
  std::string option = args[i];
  std::optional<std::string> value;
  if (const size_t equals = option.find('='); option.starts_with("--") && equals != std::string::npos) {
    value = option.substr(equals + 1);
    option.erase(equals);
  }
  const bool takes_value = option == "--name" || option == "--ext" || option == "--deleted-dir";
  const bool flag = option == "--recurse" || option == "--deleted-dirs" || option == "--json" ||
                    option == "--nt-deleted" || option == "--details" || option == "--all" ||
                    option == "--fragments";
  if (!takes_value && !flag) {
    if (request.path || (!option.empty() && option[0] == '-')) return OptionTaken::kNotMine;
    request.path = args[i];
    return OptionTaken::kTaken;
  }
  if (takes_value && !value) {
    if (i + 1 == args.size()) return OptionTaken::kWrong;
    value = args[++i];
  } else if (!takes_value && value) {
    return OptionTaken::kWrong;
  }
  if (option == "--recurse") {
    settings.bSearchRecurse = 1;
  } else if (option == "--deleted-dirs") {
    settings.bSearchDeletedDirs = 1;
  } else if (option == "--json") {
    request.json = true;
  } else if (option == "--nt-deleted") {
    settings.bSearchNtDeleted = 1;
  } else if (option == "--details") {
    settings.bSearchDetails = 1;
  } else if (option == "--fragments") {
    settings.bSearchFragments = 1;
  } else if (option == "--all") {
    settings.bSearchSkipUnrecoverable = 0;
  } else if (option == "--name") {
    if (!TakeFilter(option, *value, 8, settings.bSearchNameFilter, settings.szSearchNameFilter))
      return OptionTaken::kRefused;
  } else if (option == "--ext") {
    if (!TakeFilter(option, *value, 3, settings.bSearchExtFilter, settings.szSearchExtFilter))
      return OptionTaken::kRefused;
  } else if (!TakeFilter(option, *value, 8, settings.bSearchDeletedDirFilter,
                         settings.szSearchDeletedDirFilter)) {  // --deleted-dir
    return OptionTaken::kRefused;
  }
  return OptionTaken::kTaken;
}

std::optional<DriveNames> PrepareSearchDirectory(DriveTable& drives, SearchRequest& request) {
  std::string path = *request.path;
  // A directory under the mount point of a drive's volume stands for that
  // drive's directory, as on the search-setup page.
  const bool host_path = IsHostPath(path);
  if (host_path) {
    std::string why;
    const auto drive_path = DriveDirectoryOfHostPath(drives, path, why);
    if (!drive_path) {
      PrintError(why);
      return std::nullopt;
    }
    path = *drive_path;
  }
  const DriveNames names = NamesOfDrivePath(drives, path);
  // A listed directory copied from a terminal comes back as text.
  if (!host_path) path = RowBytes(path, names);
  // As the search-setup page stores it: without a trailing backslash.
  if (path.size() > 1 && path.back() == '\\') path.pop_back();
  request.settings.strSearchDir = path;
  return names;
}

int ExplainSearchOutcome(SearchOutcome outcome, const std::string& path) {
  const std::string drive = path.substr(0, 2);
  std::string why;
  switch (outcome) {
    case SearchOutcome::kScanned:
      return 0;
    case SearchOutcome::kAborted:
      PrintError("the search was interrupted");
      return 130;
    case SearchOutcome::kBadPath:
      why = "'" + path + "' names no directory: a path is a drive letter, a colon and a " +
            "backslash, then the directories (C:\\DOCS; C: alone is the root directory)";
      break;
    case SearchOutcome::kDriveA:
      why = "drive A: is never read: Undeletion from fat-32 partitions only";
      break;
    case SearchOutcome::kVolumeUnreadable:
      // Why the volume could not be opened, if so, follows "CreateFile () Failed !".
      why = "the boot sector of " + drive + " cannot be read";
      break;
    case SearchOutcome::kNotFat:
      why = drive + " holds no FAT12, FAT16, FAT32 or exFAT volume";
      break;
    case SearchOutcome::kNotFound:
      why = "'" + path + "' names no directory on " + drive;
      break;
    case SearchOutcome::kDirectoryUnreadable:
      why = "'" + path + "': a directory on the way cannot be read";
      break;
  }
  PrintError(why);
  return 1;
}

AbortOnInterrupt::AbortOnInterrupt() {
  g_abort.store(0);
  std::signal(SIGINT, OnInterrupt);
}

AbortOnInterrupt::~AbortOnInterrupt() { std::signal(SIGINT, SIG_DFL); }

std::atomic<int32_t>& AbortOnInterrupt::Flag() { return g_abort; }

}  // namespace quorvane::cli
