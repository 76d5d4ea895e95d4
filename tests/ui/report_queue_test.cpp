// The road from a worker to the widgets: in order, without a round trip per
// operation, and boxes that block only the worker.
#include <gmock/gmock.h>

#include <QApplication>
#include <QLabel>
#include <thread>

#include "ui/progress_ctrl.h"
#include "ui/queued_reports.h"
#include "ui/ui_report_queue.h"
#include "ui/worker_box_host.h"
#include "ui_test_support.h"
#include "volume/message_box_host.h"

namespace quorvane::ui {
namespace {

using testing::BoxWatcher;
using testing::WaitFor;

TEST(UiReportQueueTest, WorkerNeverWaitsAndOperationsArriveInOrder) {
  UiReportQueue queue;
  std::vector<int> seen;  // user-interface thread only
  constexpr int kOps = 200000;
  // The worker finishes all its operations while this thread runs no events:
  // no operation waits for the user-interface thread.
  std::thread worker([&] {
    for (int i = 0; i < kOps; ++i) queue.Post([&seen, i] { seen.push_back(i); });
  });
  worker.join();
  EXPECT_TRUE(seen.empty());
  QApplication::processEvents();
  ASSERT_EQ(seen.size(), size_t(kOps));
  for (int i = 0; i < kOps; ++i) ASSERT_EQ(seen[size_t(i)], i);
}

TEST(UiReportQueueTest, OperationsStillWaitingDieWithTheQueue) {
  bool ran = false;
  {
    UiReportQueue queue;
    queue.Post([&] { ran = true; });
  }
  QApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(ProgressStateTest, BehavesAsThePlatformBar) {
  ProgressState bar;
  EXPECT_EQ(bar.high, 100);
  EXPECT_EQ(bar.step, 10);
  bar.SetRange32(0, 10);
  bar.SetStep(3);
  bar.SetPos(9);
  bar.StepIt();
  EXPECT_EQ(bar.pos, 2) << "a step past the top wraps round";
  bar.SetPos(50);
  EXPECT_EQ(bar.pos, 10);
  bar.DeltaPos(-20);
  EXPECT_EQ(bar.pos, 0);
  bar.SetRange32(0, 0);
  bar.StepIt();
  EXPECT_EQ(bar.pos, 0) << "no step over an empty range";
}

TEST(QueuedReportsTest, WidgetsEndWhereTheWorkerLeftThemAndTextIsLatin1) {
  QLabel label;
  ProgressCtrl bar;
  UiReportQueue queue;
  QueuedStatusText status(queue, &label);
  QueuedProgressBar progress(queue, &bar);
  int32_t pos_seen_by_worker = -1;
  std::thread worker([&] {
    progress.SetRange32(0, 1000);
    progress.SetStep(1);
    for (int i = 0; i < 1000; ++i) progress.StepIt();
    progress.DeltaPos(-500);
    pos_seen_by_worker = progress.GetPos();
    status.SetText("\xE5" "EPORT.TXT");
  });
  worker.join();
  EXPECT_EQ(pos_seen_by_worker, 500);
  QApplication::processEvents();
  EXPECT_EQ(bar.state().high, 1000);
  EXPECT_EQ(bar.state().pos, 500);
  EXPECT_EQ(bar.value(), 500);
  EXPECT_EQ(label.text(), QString::fromUtf8("\u00E5EPORT.TXT"));
}

TEST(WorkerMessageBoxHostTest, AnswerReachesTheWorkerAndCloseAllReleasesIt) {
  BoxWatcher boxes;
  boxes.AnswerYesNo(QMessageBox::Yes);
  QWidget page;
  UiReportQueue queue;
  WorkerMessageBoxHost host(queue, &page);

  std::atomic<int> answer{0};
  std::thread asks([&] { answer = host.ShowMessageBox("Go on?", std::string("Q"), 68); });
  ASSERT_TRUE(WaitFor([&] { return answer.load() != 0; }));
  asks.join();
  EXPECT_EQ(answer.load(), kIdYes);

  boxes.LeaveOpen(true);
  answer = 0;
  std::thread waits([&] { answer = host.ShowMessageBox("Go on?", std::nullopt, 68); });
  ASSERT_TRUE(WaitFor([&] { return !boxes.OpenBoxes().empty(); }));
  EXPECT_EQ(answer.load(), 0) << "the worker waits for its box";
  host.CloseAll();
  waits.join();
  EXPECT_EQ(answer.load(), kIdNo);
  EXPECT_TRUE(boxes.OpenBoxes().empty());
  // After the wizard's end no box comes up and nobody waits.
  EXPECT_EQ(host.ShowMessageBox("Late", std::nullopt, 0), kIdOk);
  QApplication::processEvents();
  EXPECT_EQ(boxes.boxes().size(), 2u);
}

}  // namespace
}  // namespace quorvane::ui
