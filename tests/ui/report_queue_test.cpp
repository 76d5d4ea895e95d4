// The road from a worker to the widgets, and the results list's model.
#include <gmock/gmock.h>

#include <QApplication>
#include <thread>

#include "ui/ui_report_queue.h"
#include "ui/wizard/results_page_reports.h"

namespace quorvane::ui {
namespace {

TEST(UiReportQueueTest, WorkerNeverWaitsAndOperationsArriveInOrder) {
  UiReportQueue queue;
  std::vector<int> seen;  // user-interface thread only
  constexpr int kOps = 200000;
  // The worker posts everything while this thread runs no events.
  std::thread worker([&] {
    for (int i = 0; i < kOps; ++i) queue.Post([&seen, i] { seen.push_back(i); });
  });
  worker.join();
  EXPECT_TRUE(seen.empty());
  QApplication::processEvents();
  ASSERT_EQ(seen.size(), size_t(kOps));
  for (int i = 0; i < kOps; ++i) ASSERT_EQ(seen[size_t(i)], i);
}

TEST(ResultListModelTest, NewestFirstShownAsLatin1WithTheBytesKept) {
  ResultListModel model;
  const std::string path = "C:\\DOCS\\\xE5" "EPORT  .DOC";
  model.AddAtTop({{"A", "1"}, {path, "2"}});
  model.AddAtTop({{"C", "3"}});
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.Row(0).path, "C");
  EXPECT_EQ(model.Row(1).path, path);
  EXPECT_EQ(model.Row(2).path, "A");
  EXPECT_EQ(model.data(model.index(1, 0)).toString(), QStringLiteral("C:\\DOCS\\\u00E5EPORT  .DOC"));
  EXPECT_EQ(model.data(model.index(2, 1)).toString(), QStringLiteral("1"));
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace quorvane::ui
