// The results list's model and the worker reports of the results page: rows
// shown newest first with their bytes kept, and rows batched on their way to
// the list without leaving their place among the other controls' changes.
#include <gmock/gmock.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <thread>

#include "ui/progress_ctrl.h"
#include "ui/wizard/results_page_reports.h"
#include "ui/worker_box_host.h"
#include "ui_test_support.h"
#include "volume/message_box_host.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ui::ResultListModel;
using ui::ResultRow;

std::vector<std::string> Paths(const ResultListModel& model) {
  std::vector<std::string> paths;
  for (int i = 0; i < model.rowCount(); ++i) paths.push_back(model.Row(i).path);
  return paths;
}

TEST(ResultListModel, ShowsTheLastAddedRowFirstAndClearsWithoutResettingItsColumns) {
  ResultListModel model;
  model.AddAtTop({{"A", "1"}, {"B", "2"}});
  model.AddAtTop({{"C", "3"}});
  model.AddAtTop({});
  EXPECT_THAT(Paths(model), ElementsAre("C", "B", "A"));
  EXPECT_EQ(model.data(model.index(2, 1)).toString(), QStringLiteral("1"));
  EXPECT_FALSE(model.data(model.index(3, 0)).isValid());

  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  model.Clear();
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(reset.count(), 0);
  EXPECT_EQ(removed.count(), 1);
}

TEST(ResultListModel, ShowsBytesAsLatin1AndKeepsThemUnchanged) {
  ResultListModel model;
  const std::string path = "C:\\DOCS\\\xE5" "EPORT  .DOC";
  model.AddAtTop({{path, "5000"}});
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("C:\\DOCS\\\u00E5EPORT  .DOC"));
  EXPECT_EQ(model.Row(0).path, path);
}

// A worker adds rows with caption and bar changes between them; at each
// change of the list the caption must show what the worker had set before
// those rows, and rows must come in fewer hops than there are rows.
TEST(ResultsPageReports, RowsArriveInBatchesInTheirPlaceAmongOtherChanges) {
  QWidget page;
  ResultListModel model;
  auto* caption = new QLabel(&page);
  auto* status = new QLabel(&page);
  auto* bar = new ui::ProgressCtrl(&page);
  auto* undelete = new QPushButton(&page);
  auto* show_files = new QPushButton(&page);
  auto* abort = new QPushButton(&page);
  ui::UiReportQueue queue;
  BoxWatcher boxes;
  ui::WorkerMessageBoxHost box_host(queue, &page);
  ui::ResultsPageReports reports(queue, box_host,
                                 {&model, caption, status, bar, undelete, show_files, abort});

  std::vector<std::pair<std::string, QString>> seen;  // row, caption when it came
  int batches = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
    ++batches;
    for (int r = last; r >= first; --r) seen.emplace_back(model.Row(r).path, caption->text());
  });

  constexpr int kDirectories = 200, kRowsEach = 50;
  std::thread worker([&] {
    SearchControls& controls = reports.search();
    for (int d = 0; d < kDirectories; ++d) {
      controls.caption.SetText("D" + std::to_string(d));
      controls.progress.SetRange32(0, 1);
      for (int r = 0; r < kRowsEach; ++r)
        controls.list.InsertRowAtTop("D" + std::to_string(d) + "/" + std::to_string(r), "1");
    }
    controls.caption.SetText("done");
    controls.showFiles.SetEnabled(false);
  });
  ASSERT_TRUE(WaitFor([&] { return caption->text() == QStringLiteral("done"); }));
  worker.join();
  QApplication::processEvents();

  ASSERT_EQ(seen.size(), size_t{kDirectories * kRowsEach});
  for (size_t i = 0; i < seen.size(); ++i) {
    const std::string& row = seen[i].first;
    ASSERT_EQ(row, "D" + std::to_string(i / kRowsEach) + "/" + std::to_string(i % kRowsEach));
    EXPECT_EQ(seen[i].second.toStdString(), row.substr(0, row.find('/'))) << row;
  }
  // A batch ends at each directory, or earlier when the list takes it while
  // the worker is still adding to it; far fewer hops than rows either way.
  EXPECT_LT(batches, kDirectories * kRowsEach / 5);
  EXPECT_EQ(Paths(model).front(), "D199/49");
  EXPECT_FALSE(show_files->isEnabled());
  EXPECT_EQ(bar->state().high, 1);
}

}  // namespace
}  // namespace quorvane::testing
