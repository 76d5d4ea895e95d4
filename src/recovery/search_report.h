#pragma once
// What the search reports through besides the status label and progress bar:
// the results list and the results page's three buttons.
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

class PushButton {
 public:
  virtual ~PushButton() = default;
  virtual void SetEnabled(bool enabled) = 0;
};

// The results page's controls as the search and its worker see them.
struct SearchControls {
  ResultList& list;        // control 1020
  StatusText& caption;     // control 1033: the directory being searched
  StatusText& status;      // control 1028
  ProgressBar& progress;   // control 1029: blinks once per directory
  PushButton& undelete;    // button 1018
  PushButton& showFiles;   // button 1021
  PushButton& abort;       // button 1032
};

}  // namespace quorvane
