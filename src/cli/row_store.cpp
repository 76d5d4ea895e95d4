#include "cli/row_store.h"

#include <cstring>

namespace quorvane::cli {

namespace {
bool SeekTo(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}
}  // namespace

RowStore::~RowStore() {
  if (spill_) std::fclose(spill_);
}

void RowStore::InsertRowAtTop(const std::string& column0, const std::string& column1) {
  const size_t start = block_.size();
  block_.append(column0).append(1, '\t').append(column1).append(1, '\n');
  const auto length = static_cast<uint32_t>(block_.size() - start);
  block_.append(reinterpret_cast<const char*>(&length), sizeof length);
  if (block_.size() >= kBlockBytes) Spill();
}

void RowStore::Spill() {
  if (spill_failed_) return;  // kept in memory: nowhere else to put them
  if (!spill_ && !(spill_ = std::tmpfile())) {
    spill_failed_ = true;
    return;
  }
  if (std::fwrite(block_.data(), 1, block_.size(), spill_) != block_.size()) {
    spill_failed_ = true;
    return;
  }
  spilled_.push_back(block_.size());
  block_.clear();
}

void RowStore::PrintBlockBackwards(const std::string& block, std::FILE* out) {
  std::string text;
  size_t end = block.size();
  while (end >= sizeof(uint32_t)) {
    uint32_t length;
    std::memcpy(&length, block.data() + end - sizeof length, sizeof length);
    end -= sizeof length;
    text.append(block, end - length, length);
    end -= length;
    if (text.size() >= (1u << 16)) {
      std::fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
}

bool RowStore::Print(std::FILE* out) {
  PrintBlockBackwards(block_, out);
  uint64_t offset = 0;
  for (size_t size : spilled_) offset += size;
  std::string block;
  for (auto size = spilled_.rbegin(); size != spilled_.rend(); ++size) {
    offset -= *size;
    block.resize(*size);
    if (!SeekTo(spill_, offset) || std::fread(block.data(), 1, block.size(), spill_) != block.size())
      return false;
    PrintBlockBackwards(block, out);
  }
  return std::fflush(out) == 0;
}

}  // namespace quorvane::cli
