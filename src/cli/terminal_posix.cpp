#include <sys/stat.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace quorvane::cli {

bool StderrIsTerminal() {
  static const bool terminal = ::isatty(2) != 0;
  return terminal;
}

bool StdoutIsTerminal() {
  static const bool terminal = ::isatty(1) != 0;
  return terminal;
}

bool StdoutIsDiskFile() {
  struct stat st {};
  return ::fstat(1, &st) == 0 && S_ISREG(st.st_mode);
}

void SetStdoutBinary() {}  // POSIX streams never translate

}  // namespace quorvane::cli
