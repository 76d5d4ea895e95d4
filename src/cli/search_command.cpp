// quorvane-cli search: being built; reports that it is not available yet.
#include <cstdio>

#include "cli/commands.h"

namespace quorvane::cli {

int RunSearchCommand(DriveTable&, const std::vector<std::string>&) {
  std::fprintf(stderr, "%s: search is not available yet\n", ProgramTitle().c_str());
  return 2;
}

}  // namespace quorvane::cli
