// Times the results page listing a big search: from the press of Show Files
// to the final caption, and the longest stall of the user-interface thread
// meanwhile (the worst lateness of a 10 ms timer), beside quorvane-cli
// search with the same settings on the same volume.
//
// usage: page4_bench IMAGE CLI [RUNS]   (run offscreen: QT_QPA_PLATFORM=offscreen)
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/find_control.h"
#include "ui/launcher_dlg.h"
#include "volume/host/drive_table.h"

using namespace quorvane;
using namespace quorvane::ui;

namespace {

struct PageRun {
  double seconds = 0;       // Show Files to the final caption
  double worst_late_ms = 0; // worst lateness of the 10 ms timer
  int rows = 0;
  double clear_ms = 0;      // leaving and coming back: the page clears its rows
};

struct CliRun {
  double seconds = 0;
  int rows = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Sets page 3 as a user would: the root of C:, into subdirectories and
// deleted ones, unrecoverable files listed too.
void SetUpSearch(CLauncherDlg& launcher) {
  CUndeletePage3& page3 = launcher.page3();
  FindControl<QLineEdit>(&page3, 1024)->setText(QStringLiteral("C:\\"));
  FindControl<QCheckBox>(&page3, 1030)->setChecked(true);
  FindControl<QCheckBox>(&page3, 1031)->setChecked(true);
  FindControl<QCheckBox>(&page3, 1038)->setChecked(false);
}

PageRun RunPage(CLauncherDlg& launcher) {
  CUndeletePage4& page = launcher.page4();
  auto* caption = FindControl<QLabel>(&page, 1033);
  auto* show_files = FindControl<QAbstractButton>(&page, 1021);
  const QString done = QStringLiteral("List of undeletable files ...");
  caption->setText(QString());

  PageRun run;
  QElapsedTimer clock;
  QEventLoop loop;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(10);
  qint64 last_tick = 0;
  qint64 worst_late = 0;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    worst_late = std::max(worst_late, now - last_tick - 10'000'000);
    last_tick = now;
  });
  // The end is watched at a finer grain than the stalls.
  QTimer watch;
  watch.setTimerType(Qt::PreciseTimer);
  watch.setInterval(1);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (caption->text() == done && !page.WorkerRunning()) {
      run.seconds = double(clock.nsecsElapsed()) / 1e9;
      loop.quit();
    }
  });
  clock.start();
  ticker.start();
  watch.start();
  show_files->click();
  loop.exec();
  ticker.stop();
  watch.stop();
  run.worst_late_ms = double(worst_late) / 1e6;
  run.rows = page.Rows().rowCount();

  QElapsedTimer clear_clock;
  clear_clock.start();
  launcher.sheet().Back();
  launcher.sheet().Next();
  run.clear_ms = double(clear_clock.nsecsElapsed()) / 1e6;
  QApplication::processEvents();
  return run;
}

CliRun RunCli(const QString& cli, const QString& image) {
  QProcess process;
  QElapsedTimer clock;
  clock.start();
  process.start(cli, {QStringLiteral("--drive"), QStringLiteral("C:=") + image,
                      QStringLiteral("search"), QStringLiteral("--recurse"),
                      QStringLiteral("--deleted-dirs"), QStringLiteral("--all"),
                      QStringLiteral("C:")});
  process.waitForFinished(-1);
  CliRun run;
  run.seconds = double(clock.nsecsElapsed()) / 1e9;
  run.rows = int(process.readAllStandardOutput().count('\n'));
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IMAGE CLI [RUNS]\n", argv[0]);
    return 2;
  }
  const QString image = QString::fromLocal8Bit(argv[1]);
  const QString cli = QString::fromLocal8Bit(argv[2]);
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

  DriveTable drives;
  drives.Map('C', image.toStdString());
  CLauncherDlg launcher(drives);
  launcher.PrepareWizard();
  launcher.sheet().Begin();
  QApplication::processEvents();
  launcher.sheet().Next();
  launcher.sheet().Next();  // page 3 is made as it is first shown
  SetUpSearch(launcher);
  launcher.sheet().Next();
  QApplication::processEvents();
  if (launcher.sheet().ActiveIndex() != 3) {
    std::fprintf(stderr, "could not reach the results page\n");
    return 1;
  }

  // An untimed round of each: the image's pages are warm for both.
  RunCli(cli, image);
  RunPage(launcher);

  std::vector<double> page_s, cli_s, late_ms, clear_ms, ratio;
  std::printf("%-6s %10s %10s %8s %14s %12s %10s\n", "run", "page s", "cli s", "page/cli",
              "worst late ms", "clear ms", "rows");
  for (int i = 1; i <= runs; ++i) {
    const CliRun c = RunCli(cli, image);
    const PageRun p = RunPage(launcher);
    if (p.rows != c.rows) {
      std::fprintf(stderr, "the page listed %d rows, the command line %d\n", p.rows, c.rows);
      return 1;
    }
    page_s.push_back(p.seconds);
    cli_s.push_back(c.seconds);
    late_ms.push_back(p.worst_late_ms);
    clear_ms.push_back(p.clear_ms);
    ratio.push_back(p.seconds / c.seconds);
    std::printf("%-6d %10.3f %10.3f %8.2f %14.1f %12.1f %10d\n", i, p.seconds, c.seconds,
                p.seconds / c.seconds, p.worst_late_ms, p.clear_ms, p.rows);
  }
  const double worst = *std::max_element(late_ms.begin(), late_ms.end());
  std::printf("%-6s %10.3f %10.3f %8.2f %14.1f %12.1f\n", "median", Median(page_s), Median(cli_s),
              Median(ratio), Median(late_ms), Median(clear_ms));
  std::printf("\ntarget: page within 1.5x of the command line -> %.2fx (%s)\n", Median(ratio),
              Median(ratio) <= 1.5 ? "met" : "MISSED");
  std::printf("target: no stall of the UI thread over 100 ms -> worst %.1f ms (%s)\n", worst,
              worst <= 100 ? "met" : "MISSED");
  launcher.sheet().reject();
  return 0;
}
