// Fuzz target: the boot sector and the layout arithmetic over it, the cached
// FAT view, the directory walk, the folder lookup the wizard walks live
// directories with, and the command line's paths of long names.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_chain.h"
#include "volume/format/directory_lookup.h"
#include "volume/format/fat_params.h"
#include "volume/format/long_path.h"
#include "volume/host/sector_reader.h"
#include "volume/format/volume_view.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input = fuzz::ParseInput(data, size, 1);
  testing::MemoryDriveSource drives;
  fuzz::MapVolume(input, drives);

  SectorReader reader(drives);
  const auto boot = reader.ReadSectors(3, 0, 1);
  const auto checked = FatParams::FromBootSector(boot ? std::span<const uint8_t>(*boot) : std::span<const uint8_t>(), 3);
  if (checked) {
    const FatParams params = *checked;
    VolumeView view(reader, params);
    // The root directory's whole chain, as every walk takes it.
    for (DirectoryChain chain(view, static_cast<uint32_t>(params.m_nRootCluster)); chain.AtCluster();) {
      if (const auto bytes = chain.Read()) (void)DirEntry::Parse(EntryBytes(**bytes, 0));
      if (chain.Advance() != DirectoryChain::Step::kNext) break;
    }
    const uint32_t last = params.LastCluster();
    // The clusters at the edges of the volume and a few the input names.
    for (uint32_t cluster : {2u, 3u, last - 1, last, last + 1, params.FatSectorOf(last) * 128u}) {
      if (!params.IsClusterInVolume(cluster)) continue;
      (void)params.ClusterToSector(cluster);
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
