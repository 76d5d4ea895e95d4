// Fuzz target: the deleted-file search with every option, over the input's
// volume, from the directory the input names.
#include <atomic>
#include <cstdint>

#include "fuzz_input.h"
#include "recovery/search_context.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts: the directory, the name, extension and deleted-directory filters.
  fuzz::FuzzInput input = fuzz::ParseInput(data, size, 4);
  const bool fragments = input.sectors.size() % 2 == 1;
  testing::MemoryDriveSource drives;
  fuzz::MapVolume(input, drives);

  SearchSettings settings;
  settings.strSearchDir = input.Text(0);
  settings.bSearchRecurse = input.Flag(0);
  settings.bSearchDeletedDirs = input.Flag(1);
  settings.bSearchSkipUnrecoverable = input.Flag(2);
  settings.bSearchNameFilter = input.Flag(3);
  settings.bSearchExtFilter = input.Flag(4);
  settings.bSearchDeletedDirFilter = input.Flag(5);
  settings.bSearchNtDeleted = input.Flag(6);
  settings.bSearchDetails = input.Flag(7);
  // The flags byte is full: --fragments goes with an odd count of sector records.
  settings.bSearchFragments = fragments;
  SetFilterText(settings.szSearchNameFilter, input.Text(1));
  SetFilterText(settings.szSearchExtFilter, input.Text(2));
  SetFilterText(settings.szSearchDeletedDirFilter, input.Text(3));

  fuzz::SilentReports ui;
  SearchReport report{ui, ui, ui, &ui};
  std::atomic<int32_t> abort{0};
  RunSearch(drives, ui, settings, report, abort);
  return 0;
}
