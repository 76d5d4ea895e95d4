// Fuzz target: the boot sector and the layout arithmetic over it, the cached
// FAT view, the directory walk, the folder lookup the wizard walks live
// directories with, and the command line's paths of long names.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_lookup.h"
#include "volume/format/directory_walk.h"
#include "volume/format/long_path.h"
#include "volume/format/opened_volume.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input = fuzz::ParseInput(data, size, 1);
  testing::MemoryDriveSource drives;
  fuzz::MapVolume(input, drives);

  // The volume as every job opens it, whatever family its boot sector
  // describes, and its root directory's whole walk.
  if (auto volume = OpenedVolume::Open(drives, 3)) {
    const FatParams& params = (*volume)->params();
    VolumeView& view = (*volume)->view();
    WalkDirectory(view, {(*volume)->RootCluster()}, [](const WalkedEntry& at) {
      (void)DirEntry::Parse(at.raw);
      return Visit::kGoOn;
    });
    const uint32_t last = params.LastCluster();
    // The clusters at the edges of the volume and a few the input names.
    for (uint32_t cluster : {2u, 3u, last - 1, last, last + 1, params.FatSectorOf(last) * 128u}) {
      if (!params.IsClusterInVolume(cluster)) continue;
      (void)params.ClusterToSector(cluster);
      (void)view.ClusterFree(cluster);
      if (const auto next = view.FatEntry(cluster); next && params.IsClusterInVolume(*next))
        (void)view.ReadCluster(*next);
    }
  }

  // The wizard's lookup of a typed directory, by short or long name.
  DirectoryLookup lookup(drives);
  const std::string typed = input.Text(0);
  const std::u16string path(typed.begin(), typed.end());
  (void)lookup.ShortPath(path);
  (void)lookup.Subdirectories(path);
  (void)lookup.Subdirectories(u"C:");
  // The command line's path of long names, live or deleted.
  (void)ResolveLongPath(drives, path);
  return 0;
}
