#include "ui/windows_family.h"

#include <windows.h>

namespace quorvane::ui {

bool IsNtFamilySystem() {
  // GetVersion's top bit is clear on the NT family.
  return (GetVersion() & 0x80000000u) == 0;
}

}  // namespace quorvane::ui
