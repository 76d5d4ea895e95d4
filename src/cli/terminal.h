#pragma once
// The standard streams as this host has them: whether they are terminals
// (asked once, then remembered), and bytes through them unchanged.
namespace quorvane::cli {

bool StderrIsTerminal();
bool StdoutIsTerminal();
// Standard output is a file on a disk: no program waits on what is written
// (a pipe, a terminal or a socket is none).
bool StdoutIsDiskFile();
// Standard output takes bytes as they are (no line-end translation).
void SetStdoutBinary();

}  // namespace quorvane::cli
