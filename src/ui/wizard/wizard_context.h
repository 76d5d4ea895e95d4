#pragma once
// What every page reaches: the sheet (to set its buttons or end it), the
// shared search settings and the drives the engine reads.
namespace quorvane {
class DriveSource;
}

namespace quorvane::ui {

class CWizardSheet;
struct WizardState;

struct WizardContext {
  CWizardSheet& sheet;
  WizardState& state;
  DriveSource& drives;
};

}  // namespace quorvane::ui
