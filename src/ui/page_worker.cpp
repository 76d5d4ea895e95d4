#include "ui/page_worker.h"

#include <system_error>

namespace quorvane::ui {

bool PageWorker::Start(std::function<void()> body) {
  if (thread_.joinable()) return false;
  try {
    thread_ = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void PageWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace quorvane::ui
