#include "ui/recover_app.h"

#include <cstdio>

#include "ui/launcher_dlg.h"
#include "volume/host/drive_description.h"

namespace quorvane::ui {

int CRecoverApp::Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    drives_.Discover();
  } else {
    std::string error;
    if (!drives_.ParseArguments(args, error)) {
      std::fprintf(stderr, "quorvane: %s\n", error.c_str());
      return 2;
    }
  }
  if (!drives_.DiscoveryNote().empty())
    std::fprintf(stderr, "quorvane: %s\n", drives_.DiscoveryNote().c_str());
  std::fputs(DescribeDrives(drives_).c_str(), stdout);
  std::fflush(stdout);

  CLauncherDlg launcher(drives_);
  launcher.exec();
  return 0;
}

}  // namespace quorvane::ui
