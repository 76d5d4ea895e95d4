#pragma once
// SearchContext: one run of the deleted-file search. It walks a directory of
// a FAT32 volume, named by its 8.3 path, lists the deleted files in it that
// pass the filters and, as the settings allow, descends into live and deleted
// subdirectories.
#include <atomic>
#include <string>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "recovery/cluster_claims.h"
#include "recovery/scan_budget.h"
#include "recovery/search_report.h"
#include "recovery/search_settings.h"
#include "recovery/message_box_host.h"
#include "recovery/rebuilt_cluster.h"
#include "volume/host/block_device.h"
#include "volume/format/dir_entry.h"
#include "volume/format/fat_params.h"
#include "volume/host/sector_reader.h"
#include "volume/format/directory_chain.h"
#include "volume/format/entered_directory.h"
#include "volume/format/opened_volume.h"
#include "volume/format/volume_view.h"

namespace quorvane {

// The deepest directory the search enters: its path holds at most this many
// components after the drive, whatever its length in bytes. Deeper ones are
// left alone, which also ends a descent through entries that lead back up
// the tree.
inline constexpr size_t kMaxSearchComponents = 100;
// The names that the directories being scanned may hold in their sets of
// names seen at once (some 50 bytes each): a bound on memory whatever the
// volume holds.
inline constexpr size_t kMaxIndexedNames = 512 * 1024;

// How the directory that a search was asked for fared. The search reports no
// error on the results page; the command line says why nothing was listed.
inline constexpr char kSearchDoneCaption[] = "List of undeletable files ...";

enum class SearchOutcome {
  kScanned,              // the directory was read (it may hold no row)
  kBadPath,              // no drive letter, colon and backslash first
  kDriveA,               // drive A: is never read
  kVolumeUnreadable,     // the boot sector could not be read
  kNotFat,               // the boot sector describes no FAT12, FAT16, FAT32 or exFAT volume
  kNotFound,             // a component names no directory
  kDirectoryUnreadable,  // a directory on the way could not be read
  kAborted,
};

class SearchContext {
 public:
  // All references must outlive the context. `settings` supplies the inputs
  // (its filter buffers are uppercased and cut in place as they are applied);
  // `abort` nonzero asks the search to stop.
  SearchContext(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                SearchReport& report, const std::atomic<int32_t>& abort);

  // Lists the deleted files of the directory `path` (for example C:\DOCS, or
  // C: for the root directory) and, as the settings allow, of the directories
  // below it. Rows go to the top of the list; the caption shows each
  // directory as it is visited and the progress bar blinks once for each.
  void SearchDeletedFiles(std::string path);
  // Ends the run on the report: "List of undeletable files ..." in the
  // caption, the bar empty and the status label cleared.
  void Finish();

  // How the last SearchDeletedFiles call fared.
  SearchOutcome outcome() const { return outcome_; }

 private:
  // Where a path walk has arrived: the directory's first cluster, whether a
  // component of the path named a deleted directory (from then on only the
  // first cluster of each directory is read), and the components walked.
  struct Place {
    uint32_t cluster = 0;
    bool insideDeleted = false;
    size_t components = 0;
    std::u16string longPath;  // kept only when the rows carry details
    // exFAT: a directory written without a FAT chain, its clusters one
    // after another.
    bool contiguous = false;
    uint32_t clusters = 0;
  };
  // A short entry's long name, and a deleted one's first byte as restored.
  struct EntryNames {
    std::u16string longName;
    std::optional<uint8_t> firstByte;
  };


  DirectoryExtent ExtentOf(const Place& place) const;
  bool Aborted() const;
  bool BeginDirectory(const std::string& path);
  void Blink(bool lit);
  std::optional<Place> Walk(Place from, const std::vector<std::string>& components);
  DirectoryStep StepFrom(const Place& parent, std::span<const uint8_t> siblings,
                         bool inside_deleted) const;
  bool ScanDirectory(const std::string& path, const Place& place);
  void EnterSubdirectory(const std::string& parentPath, const Place& parent, const DirEntry& entry,
                         const EntryNames& names, std::span<const uint8_t> cluster);
  void ConsiderFile(const std::string& path, const Place& place, bool pathDeleted,
                    const DirEntry& entry, const EntryNames& names, std::span<const uint8_t> cluster,
                    bool twin);
  // exFAT: its entry sets instead of 8.3 entries; paths of whole names.
  void SearchExFat(const std::string& path, const std::vector<std::string>& components);
  std::optional<Place> WalkExFat(Place from, const std::vector<std::string>& components,
                                 std::string& stored_path);
  Place ExFatChild(const Place& parent, const struct ExFatFileSet& set) const;
  bool ScanExFatDirectory(const std::string& path, const Place& place);
  void EnterExFatDirectory(const std::string& parentPath, const Place& parent,
                           const struct ExFatFileSet& set);
  void ConsiderExFatFile(const std::string& path, const Place& place, const struct ExFatFileSet& set,
                         bool twin);
  // With --fragments, a search of a whole volume's tree ends with the
  // directories no walk reached (search_orphans.cpp).
  bool ListsOrphans(const std::vector<std::string>& components) const;
  void ListOrphans(const std::string& root_path);
  void ScanOrphan(const std::string& parent_path, const Place& parent, uint32_t cluster);
  // The rows carry details, rebuilt first clusters or conditions weighed
  // against claims.
  bool Detailed() const {
    return settings_.bSearchDetails || settings_.bSearchNtDeleted || settings_.bSearchFragments;
  }

  MessageBoxHost& boxes_;
  DriveSource& drives_;
  FatParams m_params;
  std::unique_ptr<OpenedVolume> volume_;  // opened once for the run
  VolumeView* view_ = nullptr;            // the volume's
  std::optional<ClusterClaims> claims_;   // with bSearchFragments, gathered once for the run

  NeighbourClusters neighbours_;  // of the directory cluster last judged
  DirectoryClusterRebuild rebuild_;  // with bSearchNtDeleted: deleted directories' first clusters
  std::string row_;               // the row being listed, and its details:
  RowDetails details_;            // kept from row to row
  SearchSettings& settings_;
  SearchReport& report_;
  bool lit_ = false;  // the bar is full; every run starts with it empty
  const std::atomic<int32_t>& abort_;
  // First clusters of the directories being scanned, top call first.
  std::vector<uint32_t> openDirectories_;
  ScanBudget budget_;
  // With orphans to place: each directory scanned, by its first cluster.
  bool listOrphans_ = false;
  std::unordered_map<uint32_t, std::pair<std::string, Place>> reachedDirectories_;
  size_t indexedNames_ = 0;  // held by the indexes of the directories being scanned
  SearchOutcome outcome_ = SearchOutcome::kScanned;
  SearchOutcome walkFailure_ = SearchOutcome::kNotFound;  // why the last Walk failed
};

}  // namespace quorvane

namespace quorvane {

// One search run of `settings.strSearchDir`, ended on the report however it
// went. How the directory asked for fared.
SearchOutcome RunSearch(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                        SearchReport& report, const std::atomic<int32_t>& abort);

}  // namespace quorvane
