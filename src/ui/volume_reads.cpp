#include "ui/volume_reads.h"

#include <system_error>

namespace quorvane::ui {

VolumeReads::~VolumeReads() {
  AbandonAll();
  JoinAll();
}

std::shared_ptr<ReadTicket> VolumeReads::StartRead(DriveSource& drives,
                                                   std::function<void(DriveSource&)> work,
                                                   std::function<void()> deliver) {
  const uint64_t id = next_id_++;
  auto ticket = std::make_shared<ReadTicket>();
  auto through = std::make_shared<AbandonableDrives>(drives, ticket);
  auto body = [this, id, through, work = std::move(work)] {
    work(*through);
    queue_.Post([this, id] { Ended(id); });
  };
  Read& read = reads_[id];
  read.ticket = ticket;
  read.deliver = std::move(deliver);
  try {
    read.thread = std::thread(body);
  } catch (const std::system_error&) {
    // No thread to be had: the read runs here, as it did before there were
    // threads for it; its result still arrives through the queue.
    body();
  }
  return ticket;
}

void VolumeReads::Ended(uint64_t id) {
  auto it = reads_.find(id);
  if (it == reads_.end()) return;  // joined already by JoinAll()
  Read read = std::move(it->second);
  reads_.erase(it);
  if (read.thread.joinable()) read.thread.join();
  if (!read.ticket->Abandoned()) read.deliver();
}

void VolumeReads::AbandonAll() {
  for (auto& [id, read] : reads_) read.ticket->Abandon();
}

void VolumeReads::JoinAll() {
  // Ended() may run later for a read joined here; it finds nothing to do.
  for (auto& [id, read] : reads_) {
    if (read.thread.joinable()) read.thread.join();
  }
  reads_.clear();
}

}  // namespace quorvane::ui
