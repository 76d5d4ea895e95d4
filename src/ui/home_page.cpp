#include "ui/home_page.h"

#include <QDesktopServices>
#include <QUrl>

#include "res/program_texts.h"

namespace quorvane::ui {

void OpenHomePage() {
  // Hands the address to the desktop's browser and returns at once.
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(res::kHomePage)));
}

}  // namespace quorvane::ui
