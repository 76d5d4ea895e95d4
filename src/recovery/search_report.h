#pragma once
// What the search reports through: the results list, the caption naming the
// directory being searched, the status label and, where a front end shows
// one, a progress bar that the search blinks once per directory.
#include <string>

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
};

struct SearchReport {
  ResultList& list;
  StatusText& caption;            // the directory being searched
  StatusText& status;
  ProgressBar* blink = nullptr;   // none where nothing blinks
};

}  // namespace quorvane
