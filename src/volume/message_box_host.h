#pragma once
// The message box as the reader, the engine and the front ends see it.
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
