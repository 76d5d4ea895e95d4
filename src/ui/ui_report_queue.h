#pragma once
// Carries a worker's control changes to the user-interface thread, in the
// order they were made, without making the worker wait. Operations queue up;
// when the queue goes from empty to non-empty one queued call is posted, and
// that call runs every operation waiting by then. A batch therefore costs one
// cross-thread hop however many clusters or rows it holds.
#include <QObject>
#include <functional>
#include <mutex>
#include <vector>

namespace quorvane::ui {

class UiReportQueue {
 public:
  // Make on the user-interface thread; operations run on that thread.
  UiReportQueue();
  ~UiReportQueue();
  UiReportQueue(const UiReportQueue&) = delete;
  UiReportQueue& operator=(const UiReportQueue&) = delete;

  // Any thread. `op` runs on the user-interface thread after every operation
  // posted before it. Operations still waiting when the queue is destroyed
  // are dropped.
  void Post(std::function<void()> op);

  // User-interface thread: runs the operations waiting now.
  void Drain();

 private:
  QObject receiver_;
  std::mutex mutex_;
  std::vector<std::function<void()>> ops_;
};

}  // namespace quorvane::ui
