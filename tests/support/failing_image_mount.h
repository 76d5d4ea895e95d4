#pragma once
// An image whose reads fail in chosen byte ranges with EIO from the kernel,
// as a failing card's do: the image served read-only through a FUSE file
// system of the tests' own (failing_image_fs.c), mounted with direct_io so
// that one bad sector fails only the reads that touch it. Needs root,
// /dev/fuse and libfuse3 at build time; unmounted when the object goes.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane::testing {

// Bytes [start, end) of the image.
struct BadBytes {
  uint64_t start = 0;
  uint64_t end = 0;
};

class FailingImageMount {
 public:
  FailingImageMount(const std::string& image, const std::vector<BadBytes>& bad);
  ~FailingImageMount();
  FailingImageMount(const FailingImageMount&) = delete;
  FailingImageMount& operator=(const FailingImageMount&) = delete;

  // Empty when mounted; else why not (for GTEST_SKIP).
  const std::string& whyNot() const { return why_not_; }
  // The image as the mount serves it.
  std::string path() const { return dir_.File("mnt/image"); }

 private:
  TempDir dir_;  // the mount point
  pid_t server_ = -1;
  bool mounted_ = false;
  std::string why_not_;
};

}  // namespace quorvane::testing
