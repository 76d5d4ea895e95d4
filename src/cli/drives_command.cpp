// quorvane-cli drives: prints the drive table.
#include <cstdio>

#include "cli/commands.h"
#include "volume/host/drive_description.h"

namespace quorvane::cli {

int RunDrivesCommand(DriveTable& drives, const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "%s: drives takes no arguments\n", ProgramTitle().c_str());
    return 2;
  }
  // Where the table came from, when it was looked for: on standard error,
  // so that scripts read the table alone.
  if (!drives.DiscoveryNote().empty())
    std::fprintf(stderr, "%s: %s\n", ProgramTitle().c_str(), drives.DiscoveryNote().c_str());
  // One line a drive: "C: PATH", its label and size, where it is mounted.
  const std::string table = DescribeDrives(drives);
  std::fwrite(table.data(), 1, table.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace quorvane::cli
