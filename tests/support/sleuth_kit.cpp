#include "support/sleuth_kit.h"

#include <sstream>
#include <stdexcept>

#include "support/run_command.h"

namespace quorvane::testing {

std::map<std::string, uint64_t> SleuthKitDeletedFiles(const std::string& image) {
  const CommandResult listing = RunCommand({"fls", "-r", "-d", "-p", image}, {.cwd = {}, .stdout_only = true});
  if (listing.status != 0) throw std::runtime_error("fls " + image + ": " + listing.output);
  std::map<std::string, uint64_t> files;
  std::istringstream lines(listing.output);
  for (std::string line; std::getline(lines, line);) {
    // "r/r * 709:\tOld Dir/Sub/_EEP.TXT"; a slot taken again reads "642(realloc):".
    const size_t colon = line.find(":\t");
    if (!line.starts_with("r/r * ") || colon == std::string::npos) continue;
    files[line.substr(colon + 2)] = std::stoull(line.substr(6, colon - 6));
  }
  return files;
}

std::vector<uint8_t> SleuthKitRecovered(const std::string& image, uint64_t inode) {
  const CommandResult run = RunCommand({"icat", "-r", image, std::to_string(inode)}, {.cwd = {}, .stdout_only = true});
  if (run.status != 0) throw std::runtime_error("icat -r " + image + " " + std::to_string(inode));
  return std::vector<uint8_t>(run.output.begin(), run.output.end());
}

}  // namespace quorvane::testing
