// The search's filter tests on stored name bytes, and what applying a filter
// does to its buffer.
#include <gtest/gtest.h>

#include <string>

#include "recovery/search_filters.h"

namespace quorvane {
namespace {

FilterBuffer Filter(const std::string& text) {
  FilterBuffer buffer;
  SetFilterText(buffer, text);
  return buffer;
}

const std::string kReport = "\xE5" "EPORT  .DOC";  // a deleted REPORT.DOC

TEST(SearchFilters, NameFilterFindsANameWhoseFirstLetterWasLost) {
  FilterBuffer typed = Filter("report");
  EXPECT_TRUE(NameFilterPasses(typed, kReport));
  EXPECT_EQ(FilterText(typed), "REPORT");  // uppercased in place
  auto ext_part = Filter("doc");
  EXPECT_TRUE(NameFilterPasses(ext_part, kReport));  // the 12-character name holds the extension
  auto other = Filter("NOTES");
  EXPECT_FALSE(NameFilterPasses(other, kReport));
  auto wrong_letter = Filter("RXPORT");
  EXPECT_FALSE(NameFilterPasses(wrong_letter, kReport));
  // One character: its second form looks for the empty text, so all pass.
  auto single = Filter("Q");
  EXPECT_TRUE(NameFilterPasses(single, kReport));
  auto empty = Filter("");
  EXPECT_TRUE(NameFilterPasses(empty, kReport));
  // Bytes are compared as they are: 0xE5 is no letter to uppercase.
  auto mark = Filter("\xE5" "ep");
  EXPECT_TRUE(NameFilterPasses(mark, kReport));
  EXPECT_EQ(FilterText(mark), "\xE5" "EP");
}

TEST(SearchFilters, SubstringSearchStopsAtAZeroByte) {
  const std::string zero_in_name("\xE5" "A\0\0\0\0\0\0.TXT", 12);
  auto ext = Filter("TXT");
  EXPECT_FALSE(NameFilterPasses(ext, zero_in_name));
  auto before = Filter("A");
  EXPECT_TRUE(NameFilterPasses(before, zero_in_name));
  auto dir = Filter("TXT");
  EXPECT_FALSE(DeletedDirFilterPasses(dir, std::string("C:\\AB\0CD\\X.TXT", 14)));
}

TEST(SearchFilters, ExtensionFilterIsCutToThreeAndComparedWithItsBlanks) {
  auto lower = Filter("doc");
  EXPECT_TRUE(ExtFilterPasses(lower, "DOC"));
  auto longer = Filter("docx");
  EXPECT_TRUE(ExtFilterPasses(longer, "DOC"));
  EXPECT_EQ(longer[3], '\0');  // cut in place
  EXPECT_EQ(longer[4], '\0');
  auto one_letter = Filter("c");
  EXPECT_FALSE(ExtFilterPasses(one_letter, "C  "));  // stored as C and two blanks
  auto padded = Filter("C  ");
  EXPECT_TRUE(ExtFilterPasses(padded, "C  "));
  auto empty = Filter("");
  EXPECT_FALSE(ExtFilterPasses(empty, "   "));
}

TEST(SearchFilters, DeletedDirectoryFilterLooksAtTheWholeRow) {
  const std::string row = "C:\\DOCS\\\xE5" "LD     \\NOTES   .TXT";
  for (const char* text : {"old", "docs", "notes", "c:", "Z"}) {
    auto filter = Filter(text);
    EXPECT_TRUE(DeletedDirFilterPasses(filter, row)) << text;
  }
  auto absent = Filter("ARCHIVE");
  EXPECT_FALSE(DeletedDirFilterPasses(absent, row));
}

}  // namespace
}  // namespace quorvane
