#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

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

bool StdoutIsDiskFile() {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(1));
  return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK;
}

void SetStdoutBinary() { ::_setmode(::_fileno(stdout), _O_BINARY); }

}  // namespace quorvane::cli
