#pragma once
// What every page reaches: the sheet (to set its buttons or end it), the
// shared search settings, the drives the engine reads, and the drive table
// they come from (its letters, paths and what UDisks2 told of each), which
// the volume folder chooser lists.
namespace quorvane {
class DriveSource;
class DriveTable;
}

namespace quorvane::ui {

class CWizardSheet;
struct WizardState;

struct WizardContext {
  CWizardSheet& sheet;
  WizardState& state;
  DriveSource& drives;
  DriveTable& table;
};

}  // namespace quorvane::ui
