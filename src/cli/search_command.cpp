// quorvane-cli search [--recurse] [--deleted-dirs] [--all] [--name TEXT]
// [--ext TEXT] [--deleted-dir TEXT] [--nt-deleted] [--details] [--json] PATH:
// lists the recoverable deleted files under PATH, one row a line. Every form
// writes each row as it is found, in the order found (the reverse of the
// results page, whose top row is the last found), so that a reader has the
// rows while the search goes on.
#include <atomic>
#include <charconv>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "cli/drive_names.h"
#include "cli/host_path.h"
#include "cli/row_text.h"
#include "recovery/search_context.h"

namespace quorvane::cli {

namespace {

// Ctrl-C stops the search as the page's Abort does; the rows found so far
// have been printed already.
std::atomic<int32_t> g_abort{0};
static_assert(std::atomic<int32_t>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  g_abort.store(1);
  std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program
}

// Standard output as the rows' one writer. Each row is flushed at once, so
// that a reader (a pipe into head, a script, a terminal) has it when it is
// found; into a file on a disk, where no reader waits, the rows go in large
// writes: a write per row would cost more than the search itself. A failed
// write (a full disk) stops the search, whose rows could no longer all be
// given, and is remembered for the exit status.
class RowWriter {
 public:
  RowWriter() : per_row_(!StdoutIsDiskFile()) {
    // glibc gives a buffer of its own the size of a disk block, whatever
    // size is asked for; this one is as large as asked.
    static char buffer[1 << 16];
    if (!per_row_) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  }
  // Two columns and a line end, put together in a line kept from row to row.
  void WriteColumns(const std::string& column0, const std::string& column1) {
    line_.assign(column0).append(1, '\t').append(column1).append(1, '\n');
    Write(line_);
  }
  void Write(const std::string& row) {
    if (failed_) return;
    if (std::fwrite(row.data(), 1, row.size(), stdout) != row.size() ||
        (per_row_ && std::fflush(stdout) != 0)) {
      failed_ = true;
      g_abort.store(1);
    }
  }
  // Whether every row reached standard output.
  bool Finish() { return std::fflush(stdout) == 0 && !failed_; }

 private:
  bool per_row_;
  bool failed_ = false;
  std::string line_;
};

// Plain rows: column 0, a TAB, column 1.
class PlainRows final : public ResultList {
 public:
  explicit PlainRows(RowWriter& out) : out_(out) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    out_.WriteColumns(column0, column1);
  }

 private:
  RowWriter& out_;
};

// On a terminal a row's bytes are shown as text (a FAT row's as Latin-1,
// an exFAT row's UTF-8 names as they are); a pipe gets them raw, so that a
// row passes unchanged to undelete.
class TerminalRows final : public ResultList {
 public:
  TerminalRows(ResultList& rows, DriveNames names) : rows_(rows), names_(names) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    rows_.InsertRowAtTop(RowText(column0, names_), column1);
  }
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    rows_.InsertDetailedRowAtTop(RowText(column0, names_), column1, details);
  }

 private:
  ResultList& rows_;
  DriveNames names_;
};

// search --details: the long path (UTF-8), the condition and the first
// cluster after the size, each after a TAB.
class DetailedRows final : public ResultList {
 public:
  explicit DetailedRows(ResultList& rows) : rows_(rows) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    rows_.InsertRowAtTop(column0, column1);
  }
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    columns_.assign(column1).append(1, '\t');
    // Rows come directory by directory: the directory's part of the long
    // path is converted once.
    const std::u16string_view path = details.longPath;
    const size_t cut = path.rfind(u'\\') + 1;  // 0 when there is none
    if (cut != directory_.size() ||
        std::memcmp(path.data(), directory_.data(), cut * sizeof(char16_t)) != 0) {
      directory_.assign(path.substr(0, cut));
      directoryUtf8_.clear();
      AppendUtf8OfUtf16(directoryUtf8_, directory_);
    }
    columns_.append(directoryUtf8_);
    AppendUtf8OfUtf16(columns_, path.substr(cut));
    columns_.append(1, '\t').append(ConditionWord(details.condition)).append(1, '\t');
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, details.firstCluster).ptr;
    columns_.append(number, end);
    rows_.InsertRowAtTop(column0, columns_);
  }

 private:
  ResultList& rows_;
  std::string columns_;  // kept from row to row
  std::u16string directory_;  // the last row's long path up to its last backslash
  std::string directoryUtf8_;  // the same in UTF-8
};

// search --json: one object a line.
class JsonRows final : public ResultList {
 public:
  JsonRows(RowWriter& out, bool details, DriveNames names) : out_(out), details_(details), names_(names) {}
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    out_.Write(JsonRow(column0, RowText(column0, names_), column1));
  }
  // With --details: "long_path", "condition" and "first_cluster" too.
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    std::string row = JsonRow(column0, RowText(column0, names_), column1);
    if (details_) {
      row.resize(row.size() - 2);  // "}\n"
      row += ", \"long_path\": \"" + JsonEscaped(Utf8OfUtf16(details.longPath)) +
             "\", \"condition\": \"" + std::string(ConditionWord(details.condition)) +
             "\", \"first_cluster\": " + std::to_string(details.firstCluster) + "}\n";
    }
    out_.Write(row);
  }

 private:
  RowWriter& out_;
  bool details_;
  DriveNames names_;
};

int Usage() {
  std::fprintf(stderr,
               "usage: %s [--drive L:=PATH]... search [--recurse] [--deleted-dirs] [--all]\n"
               "       [--name TEXT] [--ext TEXT] [--deleted-dir TEXT] [--nt-deleted] [--details]\n"
               "       [--json] PATH\n",
               ProgramTitle().c_str());
  return 2;
}

// A filter text as the search options dialog takes it: at most `limit` characters.
bool TakeFilter(const std::string& option, const std::string& text, size_t limit, int32_t& on,
                FilterBuffer& buffer) {
  if (text.size() > limit) {
    std::fprintf(stderr, "%s: %s takes at most %zu characters\n", ProgramTitle().c_str(),
                 option.c_str(), limit);
    return false;
  }
  on = 1;
  SetFilterText(buffer, text);
  return true;
}

// Says why a search listed nothing; the exit status.
int ExplainOutcome(SearchOutcome outcome, const std::string& path) {
  const std::string drive = path.substr(0, 2);
  std::string why;
  switch (outcome) {
    case SearchOutcome::kScanned:
      return 0;
    case SearchOutcome::kAborted:
      PrintError("the search was interrupted");
      return 130;
    case SearchOutcome::kBadPath:
      why = "'" + path + "' names no directory: a path is a drive letter, a colon and a " +
            "backslash, then the directories (C:\\DOCS; C: alone is the root directory)";
      break;
    case SearchOutcome::kDriveA:
      why = "drive A: is never read: Undeletion from fat-32 partitions only";
      break;
    case SearchOutcome::kVolumeUnreadable:
      // Why the volume could not be opened, if so, follows "CreateFile () Failed !".
      why = "the boot sector of " + drive + " cannot be read";
      break;
    case SearchOutcome::kNotFat:
      why = drive + " holds no FAT12, FAT16, FAT32 or exFAT volume";
      break;
    case SearchOutcome::kNotFound:
      why = "'" + path + "' names no directory on " + drive;
      break;
    case SearchOutcome::kDirectoryUnreadable:
      why = "'" + path + "': a directory on the way cannot be read";
      break;
  }
  PrintError(why);
  return 1;
}

}  // namespace

int RunSearchCommand(DriveTable& drives, const std::vector<std::string>& args) {
  SearchSettings settings;
  // As the search-setup page starts: unrecoverable files left out.
  settings.bSearchSkipUnrecoverable = 1;
  std::optional<std::string> path;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::optional<std::string> value;
    if (const size_t equals = option.find('='); option.starts_with("--") && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.erase(equals);
    }
    const bool takes_value = option == "--name" || option == "--ext" || option == "--deleted-dir";
    if (takes_value && !value) {
      if (i + 1 == args.size()) return Usage();
      value = args[++i];
    } else if (!takes_value && value) {
      return Usage();
    }
    if (option == "--recurse") {
      settings.bSearchRecurse = 1;
    } else if (option == "--deleted-dirs") {
      settings.bSearchDeletedDirs = 1;
    } else if (option == "--json") {
      json = true;
    } else if (option == "--nt-deleted") {
      settings.bSearchNtDeleted = 1;
    } else if (option == "--details") {
      settings.bSearchDetails = 1;
    } else if (option == "--all") {
      settings.bSearchSkipUnrecoverable = 0;
    } else if (option == "--name") {
      if (!TakeFilter(option, *value, 8, settings.bSearchNameFilter, settings.szSearchNameFilter))
        return 2;
    } else if (option == "--ext") {
      if (!TakeFilter(option, *value, 3, settings.bSearchExtFilter, settings.szSearchExtFilter))
        return 2;
    } else if (option == "--deleted-dir") {
      if (!TakeFilter(option, *value, 8, settings.bSearchDeletedDirFilter,
                      settings.szSearchDeletedDirFilter))
        return 2;
    } else if (!path && (option.empty() || option[0] != '-')) {
      path = args[i];
    } else {
      return Usage();
    }
  }
  if (!path) return Usage();
  // A directory under the mount point of a drive's volume stands for that
  // drive's directory, as on the search-setup page.
  const bool host_path = IsHostPath(*path);
  if (host_path) {
    std::string why;
    const auto drive_path = DriveDirectoryOfHostPath(drives, *path, why);
    if (!drive_path) {
      PrintError(why);
      return 1;
    }
    path = *drive_path;
  }
  const DriveNames names = NamesOfDrivePath(drives, *path);
  // A listed directory copied from a terminal comes back as text.
  if (!host_path) path = RowBytes(*path, names);
  // As the search-setup page stores it: without a trailing backslash.
  if (path->size() > 1 && path->back() == '\\') path->pop_back();
  settings.strSearchDir = *path;

  SetStdoutBinary();  // rows are bytes, lines end in \n
  RowWriter out;
  PlainRows printed_rows(out);
  TerminalRows terminal_rows(printed_rows, names);
  JsonRows json_rows(out, settings.bSearchDetails != 0, names);
  ResultList& plain_rows = StdoutIsTerminal() ? static_cast<ResultList&>(terminal_rows)
                                              : static_cast<ResultList&>(printed_rows);
  DetailedRows detailed_rows(plain_rows);
  ResultList& rows = json                     ? static_cast<ResultList&>(json_rows)
                     : settings.bSearchDetails ? static_cast<ResultList&>(detailed_rows)
                                               : plain_rows;
  // The caption names the directory searched: bytes, shown as text.
  StderrStatus caption(/*only_on_terminal=*/true, /*latin1_text=*/names == DriveNames::kFatBytes);
  StderrStatus status(/*only_on_terminal=*/true);
  const std::string& dir = settings.strSearchDir;
  StderrMessageBoxes boxes([&] { return drives.OpenFailure(DriveNumber(dir[0])); });
  // The list's blinking bar means nothing on a terminal: none is shown.
  SearchReport report{rows, caption, status};

  if (dir.size() >= 2 && dir[1] == ':') WarnIfMountedReadWrite(drives, DriveNumber(dir[0]));
  g_abort.store(0);
  std::signal(SIGINT, OnInterrupt);
  const SearchOutcome outcome = RunSearch(drives, boxes, settings, report, g_abort);
  std::signal(SIGINT, SIG_DFL);
  if (!out.Finish()) {
    PrintError("the rows found could not all be written");
    return 1;
  }
  return ExplainOutcome(outcome, settings.strSearchDir);
}

}  // namespace quorvane::cli
