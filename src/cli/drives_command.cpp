// quorvane-cli drives: prints the drive table.
#include <cstdio>

#include "cli/commands.h"
#include "cli/host_path.h"

namespace quorvane::cli {

int RunDrivesCommand(DriveTable& drives, const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "%s: drives takes no arguments\n", ProgramTitle().c_str());
    return 2;
  }
  // One line a drive: "C: PATH", then where its volume is mounted, if anywhere.
  std::string table;
  for (const auto& [drive, path] : drives.entries())
    table.append(1, DriveLetter(drive)).append(": ").append(path).append(MountNote(drives, drive)).append("\n");
  std::fwrite(table.data(), 1, table.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace quorvane::cli
