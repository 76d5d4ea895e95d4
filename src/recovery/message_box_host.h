#pragma once
// The message box as the engine, the search and the front ends see it.
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

// Box styles, numbered as the platform numbers them.
enum MessageBoxStyle : uint32_t {
  kMbOk = 0,                   // OK, no icon
  kMbIconExclamation = 48,     // OK, exclamation
  kMbIconInformation = 64,     // OK, information
  kMbYesNoInformation = 68,    // Yes and No, information
  kMbSystemModalInfo = 4160,   // OK, information, above everything else
};

enum MessageBoxAnswer : int { kIdOk = 1, kIdYes = 6, kIdNo = 7 };

// What a style asks for, decoded from its bits as the platform lays them out.
enum class MessageBoxIcon { kNone, kError, kQuestion, kWarning, kInformation };
inline bool HasYesNoButtons(uint32_t style) { return (style & 0x0F) == 4; }
inline MessageBoxIcon IconOfStyle(uint32_t style) {
  switch (style & 0xF0) {
    case 0x10: return MessageBoxIcon::kError;
    case 0x20: return MessageBoxIcon::kQuestion;
    case 0x30: return MessageBoxIcon::kWarning;
    case 0x40: return MessageBoxIcon::kInformation;
    default: return MessageBoxIcon::kNone;
  }
}
// Shown above every other window (a system-modal box).
inline bool IsSystemModal(uint32_t style) { return (style & 0x1000) != 0; }

// Shows a modal box and returns the answer. A box without a caption of its own
// shows the application's title (the program file's name without extension).
// Texts are byte strings (Latin-1 on screen).
class MessageBoxHost {
 public:
  virtual ~MessageBoxHost() = default;
  virtual int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                             uint32_t style) = 0;
};

}  // namespace quorvane
