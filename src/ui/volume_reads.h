#pragma once
// Reads of the volumes that the user-interface thread wants done without
// waiting for them: page 3's check of its directory, the folder chooser's
// drive summaries and directory listings. Opening a device may wait minutes
// (the desktop asks for a password through polkit), so each read runs on a
// thread of its own and its result comes back to the user-interface thread
// through a report queue. A read can be abandoned without waiting for it:
// its result is then dropped, its later opens and reads fail at once, and
// its thread is joined when it ends, or at the latest by JoinAll() (the
// wizard's end).
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "ui/abandonable_drives.h"
#include "ui/ui_report_queue.h"

namespace quorvane::ui {

class VolumeReads {
 public:
  // Make on the user-interface thread; every member is called there.
  VolumeReads() = default;
  // Abandons and joins every read.
  ~VolumeReads();
  VolumeReads(const VolumeReads&) = delete;
  VolumeReads& operator=(const VolumeReads&) = delete;

  // Runs `read` on a thread of its own, reading through `drives` (which
  // must outlive this object); then `deliver` runs here with its result,
  // unless the read has been abandoned by then. `read` runs on that thread
  // only: it must share nothing with this one but what it was given.
  template <typename Result>
  std::shared_ptr<ReadTicket> Start(DriveSource& drives, std::function<Result(DriveSource&)> read,
                                    std::function<void(Result)> deliver) {
    auto result = std::make_shared<std::optional<Result>>();
    return StartRead(
        drives, [read = std::move(read), result](DriveSource& through) { result->emplace(read(through)); },
        [deliver = std::move(deliver), result] { deliver(std::move(**result)); });
  }

  // Drops the results of every read started so far.
  void AbandonAll();
  // Waits for every read's thread to end; results not delivered yet are
  // dropped.
  void JoinAll();
  // Reads whose threads have not been joined yet.
  size_t Unjoined() const { return reads_.size(); }

 private:
  struct Read {
    std::thread thread;
    std::shared_ptr<ReadTicket> ticket;
    std::function<void()> deliver;  // made and run on this thread only
  };

  std::shared_ptr<ReadTicket> StartRead(DriveSource& drives, std::function<void(DriveSource&)> work,
                                        std::function<void()> deliver);
  // The read `id` has ended: joins its thread and delivers its result.
  void Ended(uint64_t id);

  // Declared before the reads: their threads post into it until joined.
  UiReportQueue queue_;
  std::map<uint64_t, Read> reads_;
  uint64_t next_id_ = 0;
};

}  // namespace quorvane::ui
