// quorvane-cli: the engine and the search from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_reports.h"
#include "cli/commands.h"
#include "volume/format/entry_times.h"

namespace quorvane::cli {

namespace {
std::string g_title = "quorvane-cli";

std::string TitleFromProgramPath(std::string path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > 0) path.erase(dot);
  return path.empty() ? std::string("quorvane-cli") : path;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: %s [--quiet] [--drive L:=PATH | PATH]... COMMAND\n"
               "       %s --help | help | --version\n"
               "commands:\n"
               "  drives                      print the drive table\n"
               "  undelete [-o DIR] [--nt-deleted] [--fragments] [--long-names] [--keep-going]\n"
               "           ([--entry SIZE:CLUSTER] (PATH | --hex HEX))...\n"
               "                              recover each deleted file PATH (C:\\DIR\\NAME.EXT, or\n"
               "                              NAME.EXT in a host directory on a drive's mounted\n"
               "                              volume) or the one whose path has the bytes HEX\n"
               "  search [SEARCH OPTIONS] [--json] PATH\n"
               "                              list recoverable deleted files under PATH\n"
               "  recover [SEARCH OPTIONS] -o DIR [--long-names] PATH\n"
               "                              recover every file search lists into DIR, keeping\n"
               "                              the directory tree; writes DIR/quorvane-manifest.jsonl;\n"
               "                              keeps going past unreadable sectors (--keep-going)\n"
               "search options:\n"
               "  --recurse                   enter subdirectories\n"
               "  --deleted-dirs              with --recurse, enter deleted directories too\n"
               "  --all                       list files whose first cluster is in use again too\n"
               "  --name TEXT                 names containing TEXT (at most 8 characters)\n"
               "  --ext TEXT                  extension TEXT (at most 3 characters)\n"
               "  --deleted-dir TEXT          paths containing TEXT (at most 8 characters)\n"
               "  --nt-deleted                rebuild first clusters whose high word Windows NT\n"
               "                              cleared (for undelete too)\n"
               "  --details                   add long path, condition, first cluster and the\n"
               "                              modified, accessed and created times\n"
               "  --fragments                 step over the clusters other deleted files claim\n"
               "                              (their first clusters and the free runs their sizes\n"
               "                              cover), and weigh those claims in the condition:\n"
               "                              'claimed' or 'contested' instead of 'intact' (for\n"
               "                              undelete too; search shows the --details columns);\n"
               "                              follow a JPEG, PNG, ZIP, PDF or MP4 past free\n"
               "                              clusters that break its format ('followed');\n"
               "                              follow a deleted directory past its first cluster\n"
               "                              and, in a search of a drive's whole tree with\n"
               "                              --recurse --deleted-dirs, list directories no walk\n"
               "                              reaches under their parent or C:\\ORPHANS, each named\n"
               "                              by its cluster in 8 hex digits\n"
               "  --json                      one JSON object a row\n"
               "other options:\n"
               "  -o DIR                      output directory (undelete: default the current one)\n"
               "  --long-names                take paths of long names (undelete) and write files\n"
               "                              and directories under their long names\n"
               "  --hex HEX                   a path as the hex of its bytes (search --json path_hex)\n"
               "  --entry SIZE:CLUSTER        (undelete) of several deleted files of the next\n"
               "                              path's name, the one of this size and first cluster\n"
               "                              (as search --details shows them)\n"
               "  --keep-going                write a sector that cannot be read as 512 zero bytes\n"
               "                              and go on (undelete); the file is then not intact\n"
               "                              and the byte ranges of the zeros are told\n"
               "--quiet leaves out status texts and the progress bar; messages are still written.\n"
               "exit status: 0 done (every file undeleted and intact); 1 a file not undeleted or\n"
               "partly undeleted, a search that listed nothing, or (recover) a file not intact;\n"
               "2 a wrong command line; 3 undelete wrote every file whole but one is not intact\n"
               "(its first cluster is in use again, was rebuilt, has zeros for unreadable\n"
               "sectors, ...); 130 interrupted.\n",
               g_title.c_str(), g_title.c_str());
}

int Usage() {
  PrintUsage(stderr);
  return 2;
}
}  // namespace

const std::string& ProgramTitle() { return g_title; }

}  // namespace quorvane::cli

int main(int argc, char** argv) {
  using namespace quorvane::cli;
  if (argc > 0) g_title = TitleFromProgramPath(argv[0]);
  quorvane::SettleLocalZone();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (arg == "--version") {
      std::printf("quorvane-cli %s\n", QUORVANE_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (arg == "--quiet" || arg == "-q")
      SetQuiet(true);
    else
      args.push_back(arg);
  }
  size_t command_at = 0;
  // `help` as the command word is --help.
  if (!args.empty() && args[0] == "help") {
    PrintUsage(stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  while (command_at < args.size() && args[command_at] != "undelete" &&
         args[command_at] != "search" && args[command_at] != "recover" &&
         args[command_at] != "drives")
    ++command_at;
  if (command_at == args.size()) return Usage();

  quorvane::DriveTable drives;
  std::string error;
  const std::vector<std::string> drive_args(args.begin(), args.begin() + command_at);
  if (!drives.ParseArguments(drive_args, error)) {
    std::fprintf(stderr, "%s: %s\n", g_title.c_str(), error.c_str());
    return Usage();
  }
  if (drive_args.empty()) drives.Discover();

  const std::string& command = args[command_at];
  const std::vector<std::string> rest(args.begin() + command_at + 1, args.end());
  if (command == "undelete") return RunUndeleteCommand(drives, rest);
  if (command == "search") return RunSearchCommand(drives, rest);
  if (command == "recover") return RunRecoverCommand(drives, rest);
  return RunDrivesCommand(drives, rest);
}
