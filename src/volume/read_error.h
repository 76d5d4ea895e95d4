#pragma once
// Why a read of a volume gave no data. The volume layer only records it; the
// engine and the search decide what, if anything, the user is told.
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "volume/expected.h"

namespace quorvane {

// Makes a buffer's bytes without zeroing them: a read fills every byte of a
// sector buffer, or the buffer goes unused. Zeroing each cluster before the
// read wrote over it cost a search as much as all its parsing.
template <typename T>
struct ReadOverAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = ReadOverAllocator<U>;
  };
  ReadOverAllocator() = default;
  template <typename U>
  ReadOverAllocator(const ReadOverAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using SectorBuffer = std::vector<uint8_t, ReadOverAllocator<uint8_t>>;

struct ReadError {
  enum class Kind {
    kCannotOpen,  // the drive has no volume, or it cannot be opened
    kCannotRead,  // the volume is open, the read failed or ran past its end
  };
  Kind kind = Kind::kCannotRead;
  // The platform's error number of a failed read; 0 when the device gave
  // none (the device-control route of old Windows never does).
  int number = 0;
};

template <typename T>
using ReadResult = Expected<T, ReadError>;

// A read into the caller's buffer: done, or why not.
struct ReadDone {};
using ReadStatus = ReadResult<ReadDone>;

}  // namespace quorvane
