#pragma once
// Message boxes: the platform styles as Qt boxes, boxes shown modally on the
// user-interface thread, and a hook through which tests see and answer every
// box the program shows.
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvane::ui {

// The application's title: the program file's name without its extension.
// Boxes given no caption show it.
QString ApplicationTitle();

// A box for `style`: 0 OK without icon, 48 OK with exclamation, 64 OK with
// information, 68 Yes and No with information, 4160 OK with information
// above every other window. Not yet shown; `modality` is set here because
// setting it later takes the style's window flags away.
QMessageBox* CreateMessageBox(QWidget* parent, const QString& text,
                              const std::optional<QString>& caption, uint32_t style,
                              Qt::WindowModality modality);

// The platform's answer code for the button that closed `box` (1 OK, 6 Yes,
// 7 No); a Yes/No box closed otherwise answers No, any other box OK.
int AnswerOf(const QMessageBox& box, uint32_t style);
// The answer of a box closed without a choice.
int DefaultAnswer(uint32_t style);

// Shows a box modally over `parent` on the user-interface thread and returns
// the answer.
int ShowModalMessageBox(QWidget* parent, const QString& text,
                        const std::optional<QString>& caption, uint32_t style);
// The same for byte-string texts (Latin-1).
int ShowModalMessageBox(QWidget* parent, const std::string& text,
                        const std::optional<std::string>& caption, uint32_t style);

// Called with every box just before it is shown, on the user-interface
// thread. Tests install one to read and click boxes. Returns the previous.
using MessageBoxHook = std::function<void(QMessageBox& box, uint32_t style)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
// Runs the hook on `box`, if one is installed.
void NotifyMessageBoxShown(QMessageBox& box, uint32_t style);

}  // namespace quorvane::ui
