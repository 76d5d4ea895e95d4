// quorvane-cli recover [search options] -o DIR [--long-names] PATH: runs the
// search and recovers every row it lists into DIR, the volume's directories
// as host directories below it, and writes what became of each file into
// DIR/quorvane-manifest.jsonl, one JSON object a line. A sector that cannot
// be read is written as zeros and the copy goes on; the manifest tells where.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "cli/drive_names.h"
#include "cli/host_path.h"
#include "cli/row_text.h"
#include "cli/search_options.h"
#include "cli/sha256.h"
#include "cli/terminal.h"
#include "cli/transfer_progress.h"
#include "recovery/engine_texts.h"
#include "recovery/host_file_name.h"
#include "recovery/undelete_engine.h"
#include "recovery/zero_filled_ranges.h"
#include "volume/path_text.h"

namespace quorvane::cli {

namespace {

namespace fs = std::filesystem;

constexpr char kManifestName[] = "quorvane-manifest.jsonl";

int Usage() {
  std::fprintf(stderr, "usage: %s [--drive L:=PATH]... recover %s\n       -o DIR [--long-names] PATH\n",
               ProgramTitle().c_str(), kSearchOptionsUsage);
  return 2;
}

// A row as the search listed it, with what its details told.
struct Row {
  std::string path;      // the bytes the engine takes
  uint64_t size = 0;
  std::string longPath;  // UTF-8
  FileCondition condition = FileCondition::kIntact;
  uint32_t firstCluster = 0;
  EntryTimes times;
};

class CollectedRows final : public ResultList {
 public:
  void InsertRowAtTop(const std::string& column0, const std::string& column1) override {
    rows.push_back({column0, std::stoull(column1), {}, FileCondition::kIntact, 0, {}});
  }
  void InsertDetailedRowAtTop(const std::string& column0, const std::string& column1,
                              const RowDetails& details) override {
    rows.push_back({column0, std::stoull(column1), Utf8OfUtf16(details.longPath), details.condition,
                    details.firstCluster, details.times});
  }
  std::vector<Row> rows;  // in the order found
};

class NoStatus final : public StatusText {
 public:
  void SetText(const std::string&) override {}
};

// The directory being searched, on a terminal: one line drawn over and
// over (a few times a second), gone when the search ends.
class SearchingLine final : public StatusText {
 public:
  explicit SearchingLine(bool latin1) : draw_(!Quiet() && StderrIsTerminal()), latin1_(latin1) {}
  ~SearchingLine() override {
    if (drawn_) std::fputs("\r\033[K", stderr);
  }
  void SetText(const std::string& text) override {
    const auto now = std::chrono::steady_clock::now();
    if (!draw_ || now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const std::string line = "\r\033[Ksearching " + (latin1_ ? Latin1ToUtf8(text) : text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    drawn_ = true;
  }

 private:
  bool draw_;
  bool latin1_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// The engine's boxes, kept for the file's line instead of one line each;
// a box about success says nothing the line does not.
class FileBoxes final : public MessageBoxHost {
 public:
  explicit FileBoxes(std::function<std::string()> open_failure) : open_failure_(std::move(open_failure)) {}
  int ShowMessageBox(const std::string& text, const std::optional<std::string>&,
                     uint32_t style) override {
    if (!text.starts_with(texts::kUndeleted)) {
      if (!said.empty()) said += "; ";
      said += text.substr(0, text.find('\n'));  // the condition line is the line's own
      if (open_failure_ && text == texts::kCreateFileFailed) {
        if (const std::string why = open_failure_(); !why.empty()) said += " (" + why + ")";
      }
    }
    return HasYesNoButtons(style) ? kIdYes : kIdOk;
  }
  std::string said;

 private:
  std::function<std::string()> open_failure_;
};

std::vector<std::string> SplitAtBackslashes(const std::string& path) {
  std::vector<std::string> parts;
  size_t begin = 0;
  for (size_t at; (at = path.find('\\', begin)) != std::string::npos; begin = at + 1)
    parts.push_back(path.substr(begin, at - begin));
  parts.push_back(path.substr(begin));
  return parts;
}

// A stored 8.3 name ("åEPORT  .TXT", "DOCS    ") as the host's name: the
// blanks that pad its fields dropped, the deleted mark made 'X' as the
// engine names files.
std::string HostShortName(const std::string& stored) {
  std::string name = stored, ext;
  if (const size_t dot = name.find('.'); dot != std::string::npos) {
    ext = name.substr(dot + 1);
    name.erase(dot);
  }
  name.erase(name.find_last_not_of(' ') + 1);
  ext.erase(ext.find_last_not_of(' ') + 1);
  if (!name.empty() && static_cast<unsigned char>(name[0]) == 0xE5) name[0] = 'X';
  return HostFileName(ext.empty() ? name : name + "." + ext);
}

// "." and ".." would leave the place meant for the component.
std::string SafeComponent(std::string name) {
  if (name.empty() || name == "." || name == "..") name.insert(0, 1, '_');
  return name;
}

// The host names of a row's components after the drive (the file last):
// stored 8.3 names tidied, exFAT's whole names as they are, and with
// --long-names the long path's names, where the component has one.
std::vector<std::string> HostComponents(const Row& row, DriveNames names, bool long_names) {
  std::vector<std::string> stored = SplitAtBackslashes(row.path);
  stored.erase(stored.begin());  // the drive
  std::vector<std::string> host;
  std::vector<std::string> longs;
  if (long_names && !row.longPath.empty()) {
    longs = SplitAtBackslashes(row.longPath);
    longs.erase(longs.begin());
    if (longs.size() != stored.size()) longs.clear();
  }
  for (size_t k = 0; k < stored.size(); ++k) {
    if (names == DriveNames::kExFatUtf8) {
      host.push_back(SafeComponent(HostFileNameOfUtf8(stored[k])));
      continue;
    }
    // A component without a long name shows in the long path as its 8.3
    // name, blanks dropped, as Latin-1 text.
    std::string plain = stored[k];
    if (const size_t dot = plain.find('.'); dot != std::string::npos) {
      std::string name = plain.substr(0, dot), ext = plain.substr(dot + 1);
      name.erase(name.find_last_not_of(' ') + 1);
      ext.erase(ext.find_last_not_of(' ') + 1);
      plain = ext.empty() ? name : name + "." + ext;
    } else {
      plain.erase(plain.find_last_not_of(' ') + 1);
    }
    if (!longs.empty() && longs[k] != Latin1ToUtf8(plain))
      host.push_back(SafeComponent(HostFileNameOfUtf8(longs[k])));
    else
      host.push_back(SafeComponent(HostShortName(stored[k])));
  }
  return host;
}

const char* OutcomeWord(UndeleteOutcome::Kind kind) {
  switch (kind) {
    case UndeleteOutcome::Kind::kUndeleted:
      return "undeleted";
    case UndeleteOutcome::Kind::kPartly:
      return "partly undeleted";
    case UndeleteOutcome::Kind::kAborted:
      return "aborted";
    case UndeleteOutcome::Kind::kNotUndeleted:
      break;
  }
  return "not undeleted";
}

// Bytes written as zeros, as [start, end) pairs: [[4096, 4608], ...].
std::string JsonRanges(const std::vector<ByteRange>& ranges) {
  std::string json = "[";
  for (const ByteRange& range : ranges) {
    if (json.size() > 1) json += ", ";
    json += "[" + std::to_string(range.start) + ", " + std::to_string(range.end) + "]";
  }
  return json + "]";
}

// The nearest directory of `dir` that exists: where a new one would be made.
fs::path ExistingAncestor(fs::path dir) {
  std::error_code error;
  dir = fs::absolute(dir, error);
  while (!dir.empty() && !fs::exists(dir, error) && dir.has_relative_path()) dir = dir.parent_path();
  return dir;
}

}  // namespace

int RunRecoverCommand(DriveTable& drives, const std::vector<std::string>& args) {
  SearchRequest request;
  std::optional<std::string> output_dir;
  bool long_names = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output_dir = args[++i];
      continue;
    }
    if (args[i] == "--long-names") {
      long_names = true;
      continue;
    }
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
  // The manifest is the machine's reading; rows are not printed.
  if (!request.path || !output_dir || request.json) return Usage();
  const auto prepared = PrepareSearchDirectory(drives, request);
  if (!prepared) return 1;
  const DriveNames names = *prepared;
  SearchSettings& settings = request.settings;
  // Every row's condition, first cluster, long path and times.
  settings.bSearchDetails = 1;
  const std::string& dir = settings.strSearchDir;
  const int32_t drive = dir.size() >= 2 && dir[1] == ':' ? DriveNumber(dir[0]) : 0;

  // Nothing is made on the volume being read, not even the output directory.
  if (drive != 0 && drives.VolumeHoldsDirectory(drive, ExistingAncestor(*output_dir).string())) {
    PrintError(texts::kOtherDrive);
    return 1;
  }
  std::error_code error;
  fs::create_directories(*output_dir, error);
  if (error || !fs::is_directory(*output_dir)) {
    PrintError("cannot use output directory " + *output_dir + ": " +
               (error ? error.message() : std::string("not a directory")));
    return 1;
  }
  // Opened before any file is recovered, so that no recovered file takes
  // its name; a run adds its lines after those of runs before it.
  const std::string manifest_path = (fs::path(*output_dir) / kManifestName).string();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> manifest(
      std::fopen(manifest_path.c_str(), "ab"), std::fclose);
  if (!manifest) {
    PrintError("cannot write " + manifest_path);
    return 1;
  }

  StderrMessageBoxes search_boxes([&] { return drives.OpenFailure(drive); });
  if (drive != 0) WarnIfMountedReadWrite(drives, drive);
  CollectedRows collected;
  NoStatus no_status;
  AbortOnInterrupt interrupt;
  std::atomic<int32_t>& abort = AbortOnInterrupt::Flag();
  SearchOutcome outcome;
  {
    SearchingLine caption(names == DriveNames::kFatBytes);
    SearchReport report{collected, caption, no_status};
    outcome = RunSearch(drives, search_boxes, settings, report, abort);
  }
  if (outcome != SearchOutcome::kScanned) return ExplainSearchOutcome(outcome, dir);

  uint64_t total_bytes = 0;
  for (const Row& row : collected.rows) total_bytes += row.size;
  const bool every_line = !Quiet() && !StderrIsTerminal();
  size_t undeleted = 0, partly = 0, failed = 0, not_intact = 0;
  bool manifest_failed = false, aborted = false;
  {
    ByteProgress progress(total_bytes, collected.rows.size());
    FileBoxes boxes([&] { return drives.OpenFailure(drive); });
    CUndeleteEngine engine(drives, boxes);
    std::string made_dir;  // the last host directory made: rows come directory by directory
    for (const Row& row : collected.rows) {
      boxes.said.clear();
      const std::vector<std::string> components = HostComponents(row, names, long_names);
      std::string relative_dir;
      for (size_t k = 0; k + 1 < components.size(); ++k) relative_dir += components[k] + "/";
      UndeleteOptions options;
      options.outputDirectory = (fs::path(*output_dir) / relative_dir).string();
      options.rebuildClearedHighWord = settings.bSearchNtDeleted != 0;
      // The row's own entry, whatever entries of its name come before it.
      options.expectedEntry = ExpectedEntry{row.size, row.firstCluster};
      // One bad sector costs a file its 512 bytes, not the rest of it.
      options.keepGoing = true;
      options.stepOverClaims = options.fragments = settings.bSearchFragments != 0;
      // A row whose first cluster the search rebuilt is copied from that
      // cluster, as on the results page.
      if (row.condition == FileCondition::kRebuilt || row.condition == FileCondition::kGuessed)
        options.rebuiltCluster = RebuiltCluster{row.firstCluster, row.condition == FileCondition::kGuessed};
      if (names == DriveNames::kFatBytes || long_names) options.hostName = components.back();

      bool ready = true;
      if (relative_dir != made_dir) {
        fs::create_directories(options.outputDirectory, error);
        ready = !error;
        if (ready) made_dir = relative_dir;
        else boxes.said = "cannot make directory " + options.outputDirectory + ": " + error.message();
      }
      ProgressBar& bar = progress.BeginFile(row.size);
      if (ready) {
        engine.SetOptions(std::move(options));
        engine.UndeleteByPath(row.path, no_status, bar, abort);
      }
      progress.EndFile();
      const UndeleteOutcome done = ready ? engine.outcome() : UndeleteOutcome{};
      const bool written = !done.outputPath.empty();
      const auto sha = written ? Sha256OfFile(done.outputPath) : std::nullopt;
      const FileCondition condition = done.found ? done.condition : row.condition;
      std::string output;
      if (written) output = relative_dir + fs::path(done.outputPath).filename().string();

      switch (done.kind) {
        case UndeleteOutcome::Kind::kUndeleted:
          ++undeleted;
          if (condition != FileCondition::kIntact) ++not_intact;
          break;
        case UndeleteOutcome::Kind::kPartly:
          ++partly;
          break;
        case UndeleteOutcome::Kind::kAborted:
          aborted = true;
          break;
        case UndeleteOutcome::Kind::kNotUndeleted:
          ++failed;
          break;
      }
      const bool intact = done.kind == UndeleteOutcome::Kind::kUndeleted && condition == FileCondition::kIntact;
      // One line a file where nobody watches a bar; on a terminal and with
      // --quiet only for a file that did not come back intact.
      if (every_line || !intact) {
        std::string line = OutcomeWord(done.kind);
        if (done.kind != UndeleteOutcome::Kind::kNotUndeleted && condition != FileCondition::kIntact)
          line.append(" (").append(ConditionWord(condition)).append(")");
        line.append(": ").append(RowText(row.path, names));
        if (written) line.append(" -> ").append(output);
        if (!boxes.said.empty()) line.append(": ").append(boxes.said);
        if (!done.zeroFilled.empty()) line.append(": ").append(ZeroFilledText(done.zeroFilled));
        progress.Clear();
        if (!intact) line.insert(0, ProgramTitle() + ": ");
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), stderr);
      }

      const EntryTimes& times = done.found ? done.times : row.times;
      std::string json = "{\"path\": \"" + JsonEscaped(RowText(row.path, names)) +
                         "\", \"path_hex\": \"" + HexOfBytes(row.path) + "\", \"long_path\": \"" +
                         JsonEscaped(row.longPath) + "\", \"output\": " +
                         (written ? Quoted(JsonEscaped(output)) : std::string("null")) +
                         ", \"outcome\": \"" + OutcomeWord(done.kind) +
                         "\", \"size\": " + std::to_string(row.size) + ", \"condition\": \"" +
                         std::string(ConditionWord(condition)) + "\", \"first_cluster\": " +
                         std::to_string(done.found ? done.firstCluster : row.firstCluster) +
                         ", \"bytes_written\": " + std::to_string(done.bytesWritten) +
                         ", \"zero_filled\": " + JsonRanges(done.zeroFilled) +
                         ", \"sha256\": " + (sha ? Quoted(*sha) : std::string("null")) +
                         ", \"modified\": " + JsonTime(times.modified) +
                         ", \"accessed\": " + JsonTime(times.accessed) +
                         ", \"created\": " + JsonTime(times.created) + ", \"message\": " +
                         (boxes.said.empty() ? std::string("null") : Quoted(JsonEscaped(boxes.said))) +
                         "}\n";
      if (std::fwrite(json.data(), 1, json.size(), manifest.get()) != json.size()) manifest_failed = true;
      if (aborted || abort.load() != 0) {
        aborted = true;
        break;
      }
    }
  }
  if (std::fflush(manifest.get()) != 0) manifest_failed = true;
  std::fprintf(stderr, "%s: undeleted %zu, partly undeleted %zu, not undeleted %zu, not intact %zu\n",
               ProgramTitle().c_str(), undeleted, partly, failed, not_intact);
  if (manifest_failed) PrintError("the manifest " + manifest_path + " could not all be written");
  if (aborted) {
    PrintError("the recovery was interrupted");
    return 130;
  }
  return undeleted == collected.rows.size() && not_intact == 0 && !manifest_failed ? 0 : 1;
}

}  // namespace quorvane::cli
