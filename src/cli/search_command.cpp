// quorvane-cli search [--recurse] [--deleted-dirs] [--all] [--name TEXT]
// [--ext TEXT] [--deleted-dir TEXT] [--nt-deleted] [--details] [--fragments] [--json] PATH:
// lists the recoverable deleted files under PATH, one row a line. Every form
// writes each row as it is found, in the order found (the reverse of the
// results page, whose top row is the last found), so that a reader has the
// rows while the search goes on.
#include <atomic>
#include <charconv>
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
#include "cli/search_options.h"
#include "recovery/search_context.h"

namespace quorvane::cli {

namespace {

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
      AbortOnInterrupt::Flag().store(1);
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

// search --details: the long path (UTF-8), the condition, the first cluster
// and the entry's three times after the size, each after a TAB.
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
    // Then the entry's times, modified, accessed and created; "-" for one it lacks.
    for (const auto& time : {details.times.modified, details.times.accessed, details.times.created})
      columns_.append(1, '\t').append(time ? LocalTimeText(*time) : std::string("-"));
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
  // With --details: "long_path", "condition", "first_cluster" and the
  // times "modified", "accessed" and "created" too.
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    std::string row = JsonRow(column0, RowText(column0, names_), column1);
    if (details_) {
      row.resize(row.size() - 2);  // "}\n"
      row += ", \"long_path\": \"" + JsonEscaped(Utf8OfUtf16(details.longPath)) +
             "\", \"condition\": \"" + std::string(ConditionWord(details.condition)) +
             "\", \"first_cluster\": " + std::to_string(details.firstCluster) +
             ", \"modified\": " + JsonTime(details.times.modified) +
             ", \"accessed\": " + JsonTime(details.times.accessed) +
             ", \"created\": " + JsonTime(details.times.created) + "}\n";
    }
    out_.Write(row);
  }

 private:
  RowWriter& out_;
  bool details_;
  DriveNames names_;
};

int Usage() {
  std::fprintf(stderr, "usage: %s [--drive L:=PATH]... search %s\n       [--json] PATH\n",
               ProgramTitle().c_str(), kSearchOptionsUsage);
  return 2;
}

}  // namespace

int RunSearchCommand(DriveTable& drives, const std::vector<std::string>& args) {
  SearchRequest request;
  for (size_t i = 0; i < args.size(); ++i) {
    switch (TakeSearchOption(args, i, request)) {
      case OptionTaken::kTaken:
        break;
      case OptionTaken::kRefused:
        return 2;
      case OptionTaken::kNotMine:
      case OptionTaken::kWrong:
        return Usage();
    }
  }
  if (!request.path) return Usage();
  const auto prepared = PrepareSearchDirectory(drives, request);
  if (!prepared) return 1;
  const DriveNames names = *prepared;
  SearchSettings& settings = request.settings;
  const bool json = request.json;
  // Conditions weighed against claims are shown in the details' columns.
  if (settings.bSearchFragments) settings.bSearchDetails = 1;

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
  SearchOutcome outcome;
  {
    // Ctrl-C stops the search as the page's Abort does; the rows found so
    // far have been printed already.
    AbortOnInterrupt interrupt;
    outcome = RunSearch(drives, boxes, settings, report, AbortOnInterrupt::Flag());
  }
  if (!out.Finish()) {
    PrintError("the rows found could not all be written");
    return 1;
  }
  return ExplainSearchOutcome(outcome, settings.strSearchDir);
}

}  // namespace quorvane::cli
