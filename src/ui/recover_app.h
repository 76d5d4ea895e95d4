#pragma once
// The application: reads the drive table from the program's arguments (or
// finds the machine's FAT32 volumes, through UDisks2 or libblkid), prints
// it, runs the main window modally and ends when it returns.
#include <string>
#include <vector>

#include "volume/host/drive_table.h"

namespace quorvane::ui {

class CRecoverApp {
 public:
  // `args`: the program's arguments after the window system took its own.
  // Returns the exit status.
  int Run(const std::vector<std::string>& args);

 private:
  DriveTable drives_;
};

}  // namespace quorvane::ui
