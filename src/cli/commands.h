#pragma once
// The commands of quorvane-cli, each in a file of its own.
#include <string>
#include <vector>

#include "volume/host/drive_table.h"

namespace quorvane::cli {

// `args` are the command's own arguments (after the command word). Each
// returns the process's exit status.
int RunUndeleteCommand(DriveTable& drives, const std::vector<std::string>& args);
int RunSearchCommand(DriveTable& drives, const std::vector<std::string>& args);
int RunRecoverCommand(DriveTable& drives, const std::vector<std::string>& args);
int RunDrivesCommand(DriveTable& drives, const std::vector<std::string>& args);

// The program's title: its file name without extension.
const std::string& ProgramTitle();

}  // namespace quorvane::cli
