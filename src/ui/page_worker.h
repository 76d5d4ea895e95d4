#pragma once
// One worker thread of a page at a time: started by a handler on the
// user-interface thread, joined there when it has ended or when the wizard
// ends.
#include <functional>
#include <thread>

namespace quorvane::ui {

class PageWorker {
 public:
  PageWorker() = default;
  ~PageWorker() { Join(); }
  PageWorker(const PageWorker&) = delete;
  PageWorker& operator=(const PageWorker&) = delete;

  // Starts `body` on a new thread. False when the thread cannot be started
  // or a worker has not been joined yet.
  bool Start(std::function<void()> body);
  // True from Start() until Join().
  bool Running() const { return thread_.joinable(); }
  // Waits for the thread to end.
  void Join();

 private:
  std::thread thread_;
};

}  // namespace quorvane::ui
