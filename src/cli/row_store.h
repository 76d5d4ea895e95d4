#pragma once
// The search's rows as the command line keeps them until the search ends:
// they are printed top row first, the reverse of the order found, so they
// must be kept; past a few MiB they go to a temporary file, so that a search
// listing millions of rows takes no more memory than one listing a few.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recovery/search_report.h"

namespace quorvane::cli {

class RowStore final : public ResultList {
 public:
  RowStore() = default;
  ~RowStore() override;
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  void InsertRowAtTop(const std::string& column0, const std::string& column1) override;
  // Writes every row, the last found first: column 0, a TAB, column 1, '\n'.
  // False when a row could not be read back or written.
  bool Print(std::FILE* out);

 private:
  // Rows are kept as their printed text followed by its length (4 bytes), so
  // that a block can be read from its end, whatever bytes the rows hold.
  static constexpr size_t kBlockBytes = 1u << 20;
  void Spill();
  static void PrintBlockBackwards(const std::string& block, std::FILE* out);

  std::string block_;
  std::FILE* spill_ = nullptr;
  bool spill_failed_ = false;
  std::vector<size_t> spilled_;  // sizes of the blocks in the file, in order
};

}  // namespace quorvane::cli
