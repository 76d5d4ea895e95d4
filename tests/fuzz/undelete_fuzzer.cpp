// Fuzz target: the undelete engine on a typed path, and on the paths of the
// first rows a full search lists, over the input's volume. Recovered files
// go to a private directory that is emptied after every input.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_input.h"
#include "recovery/search_context.h"
#include "recovery/undelete_engine.h"

using namespace quorvane;

namespace {

std::filesystem::path OutputDirectory() {
  static const std::filesystem::path dir = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/quorvane-fuzz.XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return dir;
}

void Undelete(testing::MemoryDriveSource& drives, const std::string& path, fuzz::SilentReports& ui,
              bool rebuild, bool fragments) {
  std::atomic<int32_t> abort{0};
  CUndeleteEngine engine(drives, ui);
  UndeleteOptions options;
  options.rebuildClearedHighWord = rebuild;
  options.fragments = fragments;
  engine.SetOptions(options);
  engine.UndeleteByPath(path, ui, ui, abort);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (chdir(OutputDirectory().c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts: the typed path, and a name planted in the output directory first
  // (so that recoveries meet taken names).
  fuzz::FuzzInput input = fuzz::ParseInput(data, size, 2);
  testing::MemoryDriveSource drives;
  fuzz::MapVolume(input, drives);
  fuzz::SilentReports ui;

  const std::string planted = input.Text(1);
  if (input.Flag(0) && !planted.empty() && planted.find('/') == std::string::npos) {
    if (std::FILE* file = std::fopen(planted.c_str(), "wb")) std::fclose(file);
  }

  // Flag 2: first clusters rebuilt, and the search's rows in detail.
  const bool rebuild = input.Flag(2);
  // Flag 3: --fragments, for the search and every recovery.
  const bool fragments = input.Flag(3);
  Undelete(drives, input.Text(0), ui, rebuild, fragments);

  SearchSettings settings;
  settings.strSearchDir = input.Flag(1) ? input.Text(0) : "C:";
  settings.bSearchRecurse = settings.bSearchDeletedDirs = 1;
  settings.bSearchNtDeleted = settings.bSearchDetails = rebuild;
  settings.bSearchFragments = fragments;
  SearchReport report{ui, ui, ui, &ui};
  std::atomic<int32_t> abort{0};
  RunSearch(drives, ui, settings, report, abort);
  const std::vector<std::string> rows = ui.rows;
  for (const std::string& row : rows) Undelete(drives, row, ui, rebuild, fragments);

  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(OutputDirectory(), error))
    std::filesystem::remove_all(entry.path(), error);
  return 0;
}
