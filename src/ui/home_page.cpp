#include "ui/home_page.h"

#include <QDesktopServices>
#include <QUrl>

#include "res/program_texts.h"

namespace quorvane::ui {
namespace {

HomePageOpener& Opener() {
  static HomePageOpener opener = [](const QString& address) {
    // Hands the address to the desktop's browser and returns at once.
    QDesktopServices::openUrl(QUrl(address));
  };
  return opener;
}

}  // namespace

void OpenHomePage() { Opener()(QString::fromLatin1(res::kHomePage)); }

HomePageOpener SetHomePageOpener(HomePageOpener opener) {
  HomePageOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}

}  // namespace quorvane::ui
