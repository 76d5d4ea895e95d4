#include "ui/recover_app.h"

#include <cstdio>

#include "ui/launcher_dlg.h"

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
  std::fputs(drives_.Describe().c_str(), stdout);
  std::fflush(stdout);

  CLauncherDlg launcher(drives_);
  launcher.exec();
  return 0;
}

}  // namespace quorvane::ui
