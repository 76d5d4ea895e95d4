#pragma once
// Opening the home page in the desktop's browser, without waiting; a failure
// stays silent.
#include <QString>
#include <functional>

namespace quorvane::ui {

void OpenHomePage();

// Tests put their own opener in place of the browser. Returns the previous.
using HomePageOpener = std::function<void(const QString& address)>;
HomePageOpener SetHomePageOpener(HomePageOpener opener);

}  // namespace quorvane::ui
