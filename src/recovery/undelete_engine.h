#pragma once
// CUndeleteEngine: recovers one deleted file named by its full 8.3 path into
// the current directory.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recovery/cluster_claims.h"
#include "recovery/file_condition.h"
#include "recovery/rebuilt_cluster.h"
#include "recovery/report.h"
#include "recovery/zero_filled_ranges.h"
#include "recovery/message_box_host.h"
#include "volume/host/block_device.h"
#include "volume/format/entry_times.h"
#include "volume/format/fat_params.h"
#include "volume/read_error.h"

namespace quorvane {

class OutputFile;
class VolumeView;

// Which of several deleted entries of one name is meant: the one a search
// row was listed for, by the size and first cluster the row shows.
struct ExpectedEntry {
  uint64_t size = 0;
  // The first cluster the entry holds. A FAT32 entry whose high word a
  // delete may have cleared also answers to a cluster rebuilt from its low
  // word, as a row whose first cluster was rebuilt shows it.
  uint32_t firstCluster = 0;
};

// What a recovery may do beyond the classic rules; none of it by default.
struct UndeleteOptions {
  // A deleted entry whose high word may have been cleared by a delete of the
  // NT family has its first cluster rebuilt from evidence, and the final
  // status names the cluster used.
  bool rebuildClearedHighWord = false;
  // The extension of the file's long name, for judging a rebuilt cluster's
  // content; the stored one without it.
  std::string longExtension;
  // The host's name for the output file (UTF-8), instead of the file
  // component with 0xE5 made 'X'.
  std::optional<std::string> hostName;
  // A first cluster a search has already rebuilt for the file's row: used
  // as it is, and named in the final status.
  std::optional<RebuiltCluster> rebuiltCluster;
  // Where the recovered file is created (a host directory); empty: the
  // current directory.
  std::string outputDirectory;
  // The entry's modification and access times are given to the recovered
  // file; without this it carries the time of recovery.
  bool keepTimes = true;
  // A deleted directory goes on in the free clusters that read as its
  // continuation, and directories no walk reaches are named by their
  // cluster (orphan_directories.h), as the search with --fragments lists them.
  bool fragments = false;
  // The file's entry among several deleted entries of its name; without
  // it the first entry of the name along the directory is taken. An entry
  // of the name that does not fit is passed over; none fitting: not found.
  std::optional<ExpectedEntry> expectedEntry;
  // The copy steps over the clusters other deleted entries of the volume
  // claim (their first clusters and the free runs their sizes cover), and
  // the condition weighs those claims.
  bool stepOverClaims = false;
  // Only find the file: the outcome tells its size, first cluster,
  // condition and times; nothing is created.
  bool findOnly = false;
  // A cluster that cannot be read is read again sector by sector, and the
  // sectors that still fail are written as zeros: the copy goes on, and the
  // outcome lists the bytes so filled. Without it the copy ends there.
  bool keepGoing = false;
};

// What the last UndeleteByPath call did, for callers that recover many
// files and account for each.
struct UndeleteOutcome {
  enum class Kind {
    kNotUndeleted,  // nothing was written: not found, bad path, unreadable...
    kUndeleted,     // every byte the size asks for was written
    kPartly,        // the volume ended or a cluster could not be read
    kAborted,       // stopped by the abort flag; what was written stays
  };
  Kind kind = Kind::kNotUndeleted;
  bool found = false;          // the deleted entry was found; the fields below hold
  std::string outputPath;      // the host file written (directory joined), empty when none
  uint64_t size = 0;           // the entry's size
  uint64_t bytesWritten = 0;
  uint32_t firstCluster = 0;   // where the copy began (rebuilt when it was)
  FileCondition condition = FileCondition::kIntact;
  EntryTimes times;
  // Bytes written as zeros for sectors that could not be read (keepGoing),
  // in file order.
  std::vector<ByteRange> zeroFilled;
};

class CUndeleteEngine {
 public:
  // `drives` gives the volumes; `boxes` shows the engine's message boxes,
  // those about reads that failed among them. Both must outlive the call.
  CUndeleteEngine(DriveSource& drives, MessageBoxHost& boxes);

  // Walks `strPath` (for example C:\DOCS\REPORT.TXT, bytes as typed or as a
  // search row gives them) to its deleted entry (the expected one, when the
  // options name one) and rebuilds the file from
  // the free clusters that follow its first cluster. Returns 0 when the file
  // was undeleted, the user aborted or the path was empty; 1 otherwise.
  // Runs on a worker thread; reads `pAbort` before every cluster it examines.
  int UndeleteByPath(std::string strPath, StatusText& pStatus, ProgressBar& pProgress,
                     const std::atomic<int32_t>& pAbort);

  void SetOptions(UndeleteOptions options) { options_ = std::move(options); }
  // The note the last call's final status carried about a rebuilt first
  // cluster ("\nFrom first cluster 65636 (rebuilt)"); empty when none was.
  const std::string& rebuiltNote() const { return rebuilt_note_; }
  // What the last call did.
  const UndeleteOutcome& outcome() const { return outcome_; }

 private:
  struct Walk;
  int WalkToEntry(VolumeView& view, Walk& walk, StatusText& status);
  int WalkToExFatEntry(class OpenedVolume& volume, Walk& walk, StatusText& status);
  int NotFound(StatusText& status);
  std::string ExtensionForChecks(const Walk& walk) const;
  std::optional<std::string> CreateOutput(OutputFile& output, const std::string& wanted, bool utf8,
                                          VolumeView& view, StatusText& status);
  std::string RebuildFirstClusterIfAsked(VolumeView& view, Walk& walk);
  int CopyClusters(VolumeView& view, const Walk& walk, StatusText& status, ProgressBar& progress,
                   const std::atomic<int32_t>& abort);
  void ResetProgress(ProgressBar& progress);
  void TellReadFailure(const ReadError& error);
  const ClusterClaims* ClaimsIfAsked(OpenedVolume& volume, const std::atomic<int32_t>& abort);

  DriveSource& drives_;
  MessageBoxHost& boxes_;
  FatParams m_params;
  UndeleteOptions options_;
  std::string rebuilt_note_;
  UndeleteOutcome outcome_;
  // The claims of the drive last recovered from with stepOverClaims,
  // gathered once for the engine's life (the volume is only read).
  std::optional<std::pair<int32_t, ClusterClaims>> claims_;
};

}  // namespace quorvane
