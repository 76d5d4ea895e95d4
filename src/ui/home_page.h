#pragma once
// Opening the home page in the desktop's browser, without waiting; a failure
// stays silent.
namespace quorvane::ui {

void OpenHomePage();

}  // namespace quorvane::ui
