#pragma once
// Which runs' reports a page still shows. A page clears its controls when it
// becomes active; reports of a run started before that, still on their way
// to the user-interface thread, are dropped rather than shown on the cleared
// page. Button states are not reports of this kind: they always arrive.
#include <cstdint>

namespace quorvane::ui {

class ReportGate {
 public:
  // What a run's reports carry: valid until the page drops earlier runs.
  class Pass {
   public:
    Pass() = default;  // always valid: no gate
    // User-interface thread.
    bool Valid() const { return !gate_ || gate_->generation_ == generation_; }

   private:
    friend class ReportGate;
    Pass(const ReportGate* gate, uint64_t generation) : gate_(gate), generation_(generation) {}
    const ReportGate* gate_ = nullptr;
    uint64_t generation_ = 0;
  };

  // User-interface thread: the pass for a run starting now.
  Pass Issue() const { return Pass(this, generation_); }
  // User-interface thread: the page has been cleared; every pass issued so
  // far is void.
  void DropEarlierRuns() { ++generation_; }

 private:
  uint64_t generation_ = 0;
};

}  // namespace quorvane::ui
