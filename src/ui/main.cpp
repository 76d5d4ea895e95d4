// quorvane: the wizard.
#include <QApplication>
#include <string>
#include <vector>

#include "ui/recover_app.h"
#include "volume/format/entry_times.h"

int main(int argc, char** argv) {
  quorvane::SettleLocalZone();  // before any worker thread converts a time
  QApplication app(argc, argv);  // takes the window system's own arguments out
  std::vector<std::string> args(argv + 1, argv + argc);
  return quorvane::ui::CRecoverApp().Run(args);
}
