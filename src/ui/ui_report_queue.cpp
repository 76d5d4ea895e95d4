#include "ui/ui_report_queue.h"

#include <QMetaObject>

namespace quorvane::ui {

UiReportQueue::UiReportQueue() = default;
UiReportQueue::~UiReportQueue() = default;

void UiReportQueue::Post(std::function<void()> op) {
  bool was_empty = false;
  {
    std::lock_guard lock(mutex_);
    was_empty = ops_.empty();
    ops_.push_back(std::move(op));
  }
  // The queued call goes to receiver_, which dies with the queue: a call
  // still pending then is discarded with it.
  if (was_empty) QMetaObject::invokeMethod(&receiver_, [this] { Drain(); }, Qt::QueuedConnection);
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
