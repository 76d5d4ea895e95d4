#pragma once
// Dialog templates: each dialog and page is a table of controls with their
// identifiers, texts, styles and positions in dialog units. Each template's
// header names its control identifiers beside the table, in a namespace of
// its own (res::results_page::kStatus); the user interface builds the
// widgets from the table and finds them again by those names.
#include <cstdint>
#include <span>

namespace quorvane::res {

enum class ControlKind {
  kPushButton,
  kGroupBox,
  kStatic,       // QLabel: wraps onto several lines unless kNoWrap
  kEdit,         // QLineEdit: single line, border, scrolls horizontally
  kCheckBox,     // toggles itself
  kPicture,      // bitmap at its own size; text names the bitmap ("150")
  kProgressBar,  // ProgressCtrl: smooth bar with border
  kListView,     // QTreeView in report form: columns with headers, no tree
};

// Style flags of a control.
namespace style {
inline constexpr uint32_t kCenter = 1u << 0;    // text centred
inline constexpr uint32_t kSunken = 1u << 1;    // sunken frame
inline constexpr uint32_t kNotify = 1u << 2;    // a static that reports clicks
inline constexpr uint32_t kDisabled = 1u << 3;  // made disabled
inline constexpr uint32_t kHidden = 1u << 4;    // made hidden
inline constexpr uint32_t kNoWrap = 1u << 5;    // a static on one line
inline constexpr uint32_t kDefault = 1u << 6;   // the dialog's default button
inline constexpr uint32_t kMultiSelect = 1u << 7;  // list view: several rows at once
}  // namespace style

// A control without an identifier has id 0 and cannot be found by id.
inline constexpr int kNoId = 0;
// The platform's identifiers of a dialog's OK and Cancel buttons; a modal
// run ends with the identifier of the button that ended it.
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;  // Latin-1; '&' marks the mnemonic
  uint32_t style;
  int x, y, cx, cy;  // dialog units
  // The control a static text's mnemonic moves the focus to, where that is
  // not the next control in tab order (the text stands after it).
  int buddy = kNoId;
};

struct DialogTemplate {
  int id;
  const char* caption;  // window title, or a page's title in the wizard
  int cx, cy;           // client size in dialog units
  std::span<const ControlTemplate> controls;  // template order = tab order
};

}  // namespace quorvane::res
