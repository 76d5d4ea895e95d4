#pragma once
// What the search reports through: the results list, the caption naming the
// directory being searched, the status label and, where a front end shows
// one, a progress bar that the search blinks once per directory.
#include <cstdint>
#include <string>

#include "recovery/file_condition.h"
#include "volume/format/entry_times.h"
#include "recovery/report.h"

namespace quorvane {

// The results list. Rows are only ever added at the top, so the file found
// last stands first.
class ResultList {
 public:
  virtual ~ResultList() = default;
  // Inserts a row at index 0: column 0 ("File Name") holds the path bytes a
  // recovery takes, column 1 ("Size") the size in decimal digits.
  virtual void InsertRowAtTop(const std::string& column0, const std::string& column1) = 0;
  // The same with what a search asked for details (or rebuilt clusters)
  // knows of the file, and for a file whose name an earlier entry of its
  // directory had, whatever was asked; a list that shows none of it keeps
  // the two columns.
  virtual void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                                      const struct RowDetails& details) {
    (void)details;
    InsertRowAtTop(column0, column1);
  }
};

struct RowDetails {
  std::u16string longPath;  // each component's long name where it has one, else its 8.3 name
  FileCondition condition = FileCondition::kIntact;
  // Where a recovery of the row begins; with the size, which of several
  // deleted entries of one name the row is (ExpectedEntry).
  uint32_t firstCluster = 0;
  EntryTimes times;           // as the entry keeps them; with the long path only
};

struct SearchReport {
  ResultList& list;
  StatusText& caption;            // the directory being searched
  StatusText& status;
  ProgressBar* blink = nullptr;   // none where nothing blinks
};

}  // namespace quorvane
