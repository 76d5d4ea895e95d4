#include "ui/ui_report_queue.h"

#include <QMetaObject>

namespace quorvane::ui {

UiReportQueue::UiReportQueue() = default;
UiReportQueue::~UiReportQueue() = default;

namespace {
// Held while a queued call is built on the posting thread and taken again
// before the call reads what it captured on the receiving thread. Qt's own
// event-queue lock hands the call over too, but inside Qt's libraries, where
// ThreadSanitizer cannot see it; this lock it sees, whatever happened on
// either thread in between.
std::mutex g_handoff;
}  // namespace

void UiReportQueue::Post(std::function<void()> op) {
  bool was_empty = false;
  {
    std::lock_guard lock(mutex_);
    was_empty = ops_.empty();
    ops_.push_back(std::move(op));
  }
  if (!was_empty) return;
  // The queued call goes to receiver_, which dies with the queue: a call
  // still pending then is discarded with it.
  std::lock_guard handoff(g_handoff);
  QMetaObject::invokeMethod(
      &receiver_,
      [this] {
        { std::lock_guard taken(g_handoff); }
        Drain();
      },
      Qt::QueuedConnection);
}

void UiReportQueue::Drain() {
  std::vector<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(ops_);
  }
  for (auto& op : batch) op();
}

}  // namespace quorvane::ui
