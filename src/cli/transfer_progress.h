#pragma once
// Progress over many recovered files: on a terminal one bar over all their
// bytes with the rate and the time left, redrawn a few times a second.
#include <chrono>
#include <cstdint>
#include <string>

#include "recovery/progress_state.h"

namespace quorvane::cli {

// "512 B", "12.3 KiB", "1.5 GiB".
std::string ByteCountText(uint64_t bytes);
// "0:41", "12:03", "1:02:03".
std::string DurationText(double seconds);
// "  12.3 MiB/s  0:41 left" for `done` of `total` units after `seconds`
// (`unit` after the rate: "B" gives byte counts, else "12 clusters/s");
// empty until the rate can be told.
std::string RateText(uint64_t done, uint64_t total, double seconds, const char* unit);

class ByteProgress {
 public:
  // Draws on standard error when it is a terminal and --quiet is off.
  ByteProgress(uint64_t total_bytes, size_t total_files);
  ~ByteProgress();
  ByteProgress(const ByteProgress&) = delete;
  ByteProgress& operator=(const ByteProgress&) = delete;

  bool drawn() const { return draw_; }
  // The bar the engine moves while it copies the next file of `size` bytes:
  // its fraction of that file's clusters counts as that fraction of `size`.
  ProgressBar& BeginFile(uint64_t size);
  // The file is done, whatever was written of it.
  void EndFile();
  // Takes the bar off its line, so that a message can be written there; it
  // comes back at the next redraw.
  void Clear();

 private:
  class FileBar final : public ShownProgressBar {
   public:
    explicit FileBar(ByteProgress& owner) : owner_(owner) {}

   private:
    void ShowState() override;
    ByteProgress& owner_;
  };
  void Draw(bool now);

  bool draw_;
  uint64_t total_bytes_;
  size_t total_files_;
  uint64_t done_bytes_ = 0;  // files ended
  uint64_t file_size_ = 0;
  uint64_t file_bytes_ = 0;  // of the file being copied
  size_t files_ended_ = 0;
  bool on_line_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  FileBar bar_{*this};
};

}  // namespace quorvane::cli
