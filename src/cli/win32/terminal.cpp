#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "cli/terminal.h"

namespace quorvane::cli {

bool StderrIsTerminal() {
  static const bool terminal = ::_isatty(2) != 0;
  return terminal;
}

bool StdoutIsTerminal() {
  static const bool terminal = ::_isatty(1) != 0;
  return terminal;
}

void SetStdoutBinary() { ::_setmode(::_fileno(stdout), _O_BINARY); }

}  // namespace quorvane::cli
