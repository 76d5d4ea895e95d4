#include "ui/worker_box_host.h"

#include <QMessageBox>
#include <algorithm>

#include "ui/message_boxes.h"

namespace quorvane::ui {

struct WorkerMessageBoxHost::Request {
  QString text;
  std::optional<QString> caption;
  uint32_t style = 0;
  std::optional<int> answer;  // guarded by the host's mutex
};

WorkerMessageBoxHost::WorkerMessageBoxHost(UiReportQueue& queue) : queue_(queue) {}

WorkerMessageBoxHost::~WorkerMessageBoxHost() {
  for (const QPointer<QMessageBox>& box : shown_) delete box.data();
}

int WorkerMessageBoxHost::ShowMessageBox(const std::string& text,
                                         const std::optional<std::string>& caption,
                                         uint32_t style) {
  auto request = std::make_shared<Request>();
  request->text = QString::fromLatin1(text.data(), qsizetype(text.size()));
  if (caption) request->caption = QString::fromLatin1(caption->data(), qsizetype(caption->size()));
  request->style = style;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return DefaultAnswer(style);
    waiting_.push_back(request);
  }
  queue_.Post([this, request] { Show(request); });

  std::unique_lock lock(mutex_);
  answered_.wait(lock, [&] { return request->answer.has_value(); });
  std::erase(waiting_, request);
  return *request->answer;
}

void WorkerMessageBoxHost::Show(const std::shared_ptr<Request>& request) {
  {
    std::lock_guard lock(mutex_);
    if (request->answer) return;  // answered by CloseAll() before it came up
  }
  QMessageBox* box =
      CreateMessageBox(nullptr, request->text, request->caption, request->style, Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(box, &QMessageBox::finished, box, [this, box, request] {
    std::lock_guard lock(mutex_);
    if (!request->answer) request->answer = AnswerOf(*box, request->style);
    answered_.notify_all();
  });
  shown_.erase(std::remove(shown_.begin(), shown_.end(), nullptr), shown_.end());
  shown_.emplace_back(box);
  NotifyMessageBoxShown(*box, request->style);
  box->show();
  box->raise();
  box->activateWindow();
}

void WorkerMessageBoxHost::CloseAll() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (const auto& request : waiting_) {
      if (!request->answer) request->answer = DefaultAnswer(request->style);
    }
    answered_.notify_all();
  }
  for (const QPointer<QMessageBox>& box : shown_) {
    if (box) box->close();
  }
}

}  // namespace quorvane::ui
