#pragma once
// The engine's message boxes for a page's worker. A box request travels
// through the page's report queue, so it is shown after every status and
// progress change made before it; the box does not block the wizard, only
// the worker, which waits for the answer. The boxes have no owner window:
// no modal window of the program (the wizard, the options dialog, a folder
// chooser, a page's own box) blocks them, so the answer is always within
// reach. CloseAll() (the wizard's end)
// closes the boxes shown and answers every waiting and later request at
// once, so no worker waits on a box that is gone.
#include <QPointer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/ui_report_queue.h"
#include "recovery/message_box_host.h"

class QMessageBox;

namespace quorvane::ui {

class WorkerMessageBoxHost final : public MessageBoxHost {
 public:
  // Make on the UI thread.
  explicit WorkerMessageBoxHost(UiReportQueue& queue);
  ~WorkerMessageBoxHost() override;

  // Worker thread: shows the box and waits for its answer.
  int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                     uint32_t style) override;

  // User-interface thread: closes every box and answers every request.
  void CloseAll();

 private:
  struct Request;
  void Show(const std::shared_ptr<Request>& request);  // UI thread

  UiReportQueue& queue_;
  std::mutex mutex_;
  std::condition_variable answered_;  // every answer is given under mutex_
  bool closed_ = false;
  std::vector<std::shared_ptr<Request>> waiting_;
  std::vector<QPointer<QMessageBox>> shown_;  // UI thread only
};

}  // namespace quorvane::ui
