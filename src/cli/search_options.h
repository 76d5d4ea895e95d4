#pragma once
// The search's options as `search` and `recover` both take them, the
// directory they name, and why a search listed nothing.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/drive_names.h"
#include "recovery/search_context.h"
#include "volume/host/drive_table.h"

namespace quorvane::cli {

struct SearchRequest {
  SearchSettings settings;
  std::optional<std::string> path;  // the directory as given
  bool json = false;
  SearchRequest() {
    // As the search-setup page starts: unrecoverable files left out.
    settings.bSearchSkipUnrecoverable = 1;
  }
};

enum class OptionTaken {
  kTaken,    // args[i] (and its value) went into the request
  kNotMine,  // no search option: the command may know it
  kWrong,    // a search option given wrongly: the usage is due
  kRefused,  // a filter too long: said on standard error, status 2
};

// Takes the search option (or the directory) at args[i]; on kTaken, `i`
// is left at its last argument (its value, for --name TEXT).
OptionTaken TakeSearchOption(const std::vector<std::string>& args, size_t& i,
                             SearchRequest& request);

// The usage line of the search options, for the commands' usage texts.
inline constexpr char kSearchOptionsUsage[] =
    "[--recurse] [--deleted-dirs] [--all] [--name TEXT] [--ext TEXT]\n"
    "       [--deleted-dir TEXT] [--nt-deleted] [--details] [--fragments]";

// Puts the directory into settings.strSearchDir as the search takes it: a
// host directory on a drive's mounted volume as that drive's directory, a
// listed directory copied from a terminal as its bytes, no trailing
// backslash. How the drive keeps its names, or none after saying why the
// directory cannot be searched.
std::optional<DriveNames> PrepareSearchDirectory(DriveTable& drives, SearchRequest& request);

// Says on standard error why a search listed nothing; the exit status (0
// when the directory was read).
int ExplainSearchOutcome(SearchOutcome outcome, const std::string& path);

// Ctrl-C raises the flag while the object lives, as the page's Abort does; a
// second Ctrl-C ends the program.
class AbortOnInterrupt {
 public:
  AbortOnInterrupt();
  ~AbortOnInterrupt();
  AbortOnInterrupt(const AbortOnInterrupt&) = delete;
  AbortOnInterrupt& operator=(const AbortOnInterrupt&) = delete;
  static std::atomic<int32_t>& Flag();
};

}  // namespace quorvane::cli
