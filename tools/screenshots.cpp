// quorvane-screenshots: draws the main window, the about box and each page
// of the wizard on a demo volume and saves them as PNG files.
// Usage: quorvane-screenshots IMAGE OUTDIR   (tools/screenshots.sh runs it
// under Xvfb).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "ui/about_dlg.h"
#include "ui/find_control.h"
#include "ui/launcher_dlg.h"
#include "ui/message_boxes.h"
#include "volume/drive_table.h"

namespace {

using quorvane::ui::FindControl;

void Settle(int ms = 300) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    Settle(50);
  }
  return done();
}

QString g_out;
int g_failures = 0;

void Save(QWidget* widget, const char* name) {
  const QString path = g_out + QLatin1Char('/') + QLatin1String(name);
  if (widget->grab().save(path)) {
    std::printf("screenshot: %s\n", qPrintable(path));
  } else {
    std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(path));
    ++g_failures;
  }
}

void SetText(QWidget* page, int id, const char* text) {
  if (auto* edit = FindControl<QLineEdit>(page, id)) edit->setText(QString::fromLatin1(text));
}

void ClickIfThere(QWidget* root, int id) {
  if (auto* button = FindControl<QAbstractButton>(root, id)) button->click();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: quorvane-screenshots IMAGE OUTDIR\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(g_out);
  quorvane::DriveTable drives;
  drives.Map('C', argv[1]);
  // Recovered files go to a scratch directory.
  QTemporaryDir scratch;
  QDir::setCurrent(scratch.path());

  quorvane::ui::CLauncherDlg launcher(drives);
  launcher.show();
  Settle();
  Save(&launcher, "main-window.png");

  {
    quorvane::ui::CAboutDlg about;
    about.show();
    Settle();
    Save(&about, "about-box.png");
  }

  quorvane::ui::CWizardSheet& sheet = launcher.sheet();
  launcher.PrepareWizard();
  sheet.Begin();
  Settle();
  Save(&sheet, "page1-output-directory.png");

  sheet.Next();
  Settle();
  SetText(&launcher.page2(), 1017, "C:\\DOCS\\REPORT.TXT");
  // The engine's box comes up when the file is written: take the page and
  // the box as they are then, and answer it.
  quorvane::ui::SetMessageBoxHook([&](QMessageBox& box, uint32_t) {
    QPointer<QMessageBox> shown(&box);
    QTimer::singleShot(300, [&, shown] {
      Save(&sheet, "page2-undelete-by-name.png");
      if (!shown) return;
      Save(shown, "undelete-message-box.png");
      shown->button(QMessageBox::Ok)->click();
    });
  });
  ClickIfThere(&launcher.page2(), 1018);
  auto* undelete = FindControl<QAbstractButton>(&launcher.page2(), 1018);
  Settle();
  WaitFor([&] { return undelete && undelete->isEnabled(); });
  quorvane::ui::SetMessageBoxHook({});
  Settle();

  sheet.Next();
  Settle();
  SetText(&launcher.page3(), 1024, "C:\\");
  if (auto* recurse = FindControl<QCheckBox>(&launcher.page3(), 1030)) recurse->click();
  Settle();
  Save(&sheet, "page3-search-setup.png");

  sheet.Next();
  Settle();
  ClickIfThere(&launcher.page4(), 1021);  // Show Files
  Settle(2000);
  Save(&sheet, "page4-results.png");

  sheet.reject();
  return g_failures == 0 ? 0 : 1;
}
