// quorvane-cli drives: prints the drive table.
#include <cstdio>

#include "cli/commands.h"

namespace quorvane::cli {

int RunDrivesCommand(DriveTable& drives, const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "%s: drives takes no arguments\n", ProgramTitle().c_str());
    return 2;
  }
  const std::string table = drives.Describe();
  std::fwrite(table.data(), 1, table.size(), stdout);
  return 0;
}

}  // namespace quorvane::cli
