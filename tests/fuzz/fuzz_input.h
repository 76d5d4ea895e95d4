#pragma once
// What every fuzz target reads from its input: a flags byte, a few texts
// ending in a zero byte (paths and filters), then the volume as records of a
// 4-byte little-endian sector number and that sector's 512 bytes. Sectors
// not given read as zeros; the volume is as large as its boot sector says
// (up to 16 MiB, so that a recovery of a huge size field costs milliseconds)
// or as its highest sector given, so that a few records describe a whole
// FAT32 volume and the fuzzer mutates only what matters.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "recovery/message_box_host.h"
#include "recovery/search_report.h"
#include "recovery/silent_reports.h"
#include "support/memory_volume.h"
#include "volume/little_endian.h"

namespace quorvane::fuzz {

inline constexpr uint64_t kMaxVolumeBytes = 16u << 20;
inline constexpr size_t kMaxTextBytes = 300;

struct FuzzInput {
  uint8_t flags = 0;
  std::vector<std::string> texts;
  std::map<uint32_t, std::vector<uint8_t>> sectors;
  uint64_t size = 0;  // bytes

  bool Flag(int bit) const { return (flags >> bit) & 1; }
  std::string Text(size_t index) const { return index < texts.size() ? texts[index] : std::string(); }
};

inline FuzzInput ParseInput(const uint8_t* data, size_t size, size_t text_count) {
  FuzzInput input;
  size_t at = 0;
  if (at < size) input.flags = data[at++];
  for (size_t t = 0; t < text_count && at < size; ++t) {
    std::string text;
    while (at < size && data[at] != 0 && text.size() < kMaxTextBytes) text.push_back(static_cast<char>(data[at++]));
    while (at < size && data[at] != 0) ++at;  // the rest of an overlong text
    if (at < size) ++at;                       // its zero
    input.texts.push_back(std::move(text));
  }
  uint64_t highest_end = 0;
  for (; at + 4 <= size; at += 4 + 512) {
    const uint32_t sector = LoadLe32({data + at, 4}, 0) % (kMaxVolumeBytes / 512);
    std::vector<uint8_t> bytes(512, 0);
    const size_t available = std::min<size_t>(512, size - at - 4);
    std::copy(data + at + 4, data + at + 4 + available, bytes.begin());
    input.sectors[sector] = std::move(bytes);
    highest_end = std::max<uint64_t>(highest_end, (uint64_t{sector} + 1) * 512);
  }
  uint64_t declared = 0;
  if (auto boot = input.sectors.find(0); boot != input.sectors.end()) {
    const uint16_t small = LoadLe16(boot->second, 19);  // else the 32-bit count
    declared = 512ull * (small != 0 ? small : LoadLe32(boot->second, 32));
  }
  input.size = std::min(kMaxVolumeBytes, std::max(highest_end, declared));
  return input;
}

// Maps the input's volume to C: and, so that its refusal is walked too, A:.
inline void MapVolume(FuzzInput& input, testing::MemoryDriveSource& drives) {
  drives.MapSparse('A', input.size, input.sectors);
  drives.MapSparse('C', input.size, std::move(input.sectors));
}

// Reports that go nowhere: the targets look for crashes, leaks and hangs.
struct SilentReports final : quorvane::SilentReports, ResultList {
  void InsertRowAtTop(const std::string& column0, const std::string&) override {
    if (rows.size() < kRowsKept) rows.push_back(column0);
  }

  static constexpr size_t kRowsKept = 4;
  std::vector<std::string> rows;  // the first rows found, for the undelete target
};

}  // namespace quorvane::fuzz
