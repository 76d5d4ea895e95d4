// The search's filters on stored name bytes, and what applying one does to its buffer.
#include <gtest/gtest.h>

#include <string>

#include "recovery/search_filters.h"

namespace quorvane {
namespace {

enum Kind { kName, kExt, kDir };

TEST(SearchFilters, EdgeCases) {
  const std::string report = "\xE5" "EPORT  .DOC";
  const std::string zero_name("\xE5" "A\0\0\0\0\0\0.TXT", 12);
  const std::string row = "C:\\DOCS\\\xE5" "LD     \\NOTES   .TXT";
  struct Case {
    Kind kind;
    std::string typed, tested;
    bool passes;
    std::string after;  // the buffer once applied
  } cases[] = {
      {kName, "report", report, true, "REPORT"},          // the lost first letter
      {kName, "doc", report, true, "DOC"},                // the 12-byte name holds the extension
      {kName, "RXPORT", report, false, "RXPORT"},
      {kName, "Q", report, true, "Q"},                    // one character looks for ""
      {kName, "", report, true, ""},
      {kName, "\xE5" "ep", report, true, "\xE5" "EP"},    // 0xE5 is no letter
      {kName, "TXT", zero_name, false, "TXT"},            // a zero byte ends the name
      {kName, "A", zero_name, true, "A"},
      {kExt, "docx", "DOC", true, "DOC"},                 // cut to three in place
      {kExt, "c", "C  ", false, "C"},                     // compared with its blanks
      {kExt, "C  ", "C  ", true, "C  "},
      {kExt, "", "   ", false, ""},
      {kDir, "old", row, true, "OLD"},
      {kDir, "c:", row, true, "C:"},
      {kDir, "Z", row, true, "Z"},
      {kDir, "ARCHIVE", row, false, "ARCHIVE"},
      {kDir, "TXT", std::string("C:\\AB\0CD\\X.TXT", 14), false, "TXT"},
  };
  for (const Case& c : cases) {
    FilterBuffer buffer;
    SetFilterText(buffer, c.typed);
    const bool passes = c.kind == kName  ? NameFilterPasses(buffer, c.tested)
                        : c.kind == kExt ? ExtFilterPasses(buffer, c.tested)
                                         : DeletedDirFilterPasses(buffer, c.tested);
    EXPECT_EQ(passes, c.passes) << c.kind << " " << c.typed;
    EXPECT_EQ(FilterText(buffer), c.after) << c.kind << " " << c.typed;
  }
}

}  // namespace
}  // namespace quorvane
