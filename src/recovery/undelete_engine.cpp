#include "recovery/undelete_engine.h"

#include <algorithm>
#include <cstdio>
#include <variant>
#include <vector>

#include "recovery/cluster_run_reader.h"
#include "recovery/engine_texts.h"
#include "recovery/format_follower.h"
#include "recovery/free_clusters.h"
#include "recovery/host_file_name.h"
#include "recovery/output_file.h"
#include "recovery/read_failure_boxes.h"
#include "recovery/undelete_path.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/entered_directory.h"
#include "volume/format/stored_name.h"
#include "volume/format/exfat_directory.h"
#include "volume/format/exfat_names.h"
#include "volume/format/opened_volume.h"
#include "volume/format/orphan_directories.h"
#include "volume/format/long_name.h"
#include "volume/path_text.h"
#include "volume/format/volume_view.h"

namespace quorvane {

namespace t = texts;

struct CUndeleteEngine::Walk {
  std::vector<std::string> components;  // after the drive piece
  bool carries_mark = false;
  LookupPattern file;      // the file component's pattern once found
  DirEntry entry{};        // its directory entry
  uint32_t firstCluster = 0;             // where the copy begins
  std::string longExtension;             // of the file's long name, when the walk found one
  std::vector<uint8_t> siblings;         // the directory cluster holding the entry
  uint64_t size = 0;                     // bytes to copy
  bool contiguous = false;               // exFAT NoFatChain: the clusters are taken as they follow
  const ClusterClaims* claims = nullptr;  // with stepOverClaims: stepped over by the copy
  std::string outputName;                // the name the output file is created under
  bool outputNameIsUtf8 = false;         // exFAT's names are UTF-8 already, not Latin-1
  FileCondition condition = FileCondition::kIntact;  // of the copy about to be made
  EntryTimes times;                      // the entry's
};

namespace {

// Up to this many bytes of consecutive free clusters are read in one request:
// 1 MiB stays in a core's L2 cache between the read and the write, where
// larger runs cost more in memory traffic than they save in calls.
constexpr size_t kRunBytes = 1u << 20;
// Numbered names tried when the recovered file's own name is taken.
constexpr int kMaxNameNumber = 9999;

std::string Format(const char* format, int a, int b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

bool HoldsDeletedMark(std::string_view bytes) {
  return bytes.find(static_cast<char>(kDeletedMark)) != std::string_view::npos;
}

// Whether `entry` is the one `expected` describes (none: any entry of the name is).
bool FitsExpectation(const std::optional<ExpectedEntry>& expected, const DirEntry& entry,
                     const FatParams& params) {
  if (!expected) return true;
  if (entry.fileSize != expected->size) return false;
  const uint32_t stored = params.FirstClusterOf(entry);
  if (stored == expected->firstCluster) return true;
  return MayHaveLostHighWord(entry, params) && (expected->firstCluster & 0xFFFF) == stored;
}

}  // namespace

CUndeleteEngine::CUndeleteEngine(DriveSource& drives, MessageBoxHost& boxes)
    : drives_(drives), boxes_(boxes) {}

void CUndeleteEngine::ResetProgress(ProgressBar& progress) {
  progress.SetRange32(0, 0);
  progress.DeltaPos(0);
}

int CUndeleteEngine::UndeleteByPath(std::string strPath, StatusText& pStatus,
                                    ProgressBar& pProgress, const std::atomic<int32_t>& pAbort) {
  rebuilt_note_.clear();
  outcome_ = {};
  if (strPath.empty()) {
    boxes_.ShowMessageBox(t::kGiveFile, std::string(t::kAppCaption), kMbIconExclamation);
    return 0;
  }
  SplitPathResult split = SplitUndeletePath(strPath);
  if (split.pieces.empty() || split.pieces[0].size() < 2 || split.pieces[0][1] != ':') return 1;
  const char letter = split.pieces[0][0];
  m_params.m_nDrive = DriveNumber(letter);
  if (letter == 'A') {
    boxes_.ShowMessageBox(t::kFat32Only, std::string(t::kAppCaption), kMbIconInformation);
    return 1;
  }
  // Nothing after the drive names no file: C:, C:\ or C:REPORT.TXT; nor does
  // a path whose drive is not followed by a backslash (C:DOCS\A.TXT, C:/A.TXT).
  if (!HasDriveRoot(strPath) || split.pieces.size() < 2) {
    boxes_.ShowMessageBox(t::kGiveFile, std::string(t::kAppCaption), kMbIconExclamation);
    return 1;
  }
  // Writing the recovered file onto the volume being read could overwrite
  // the very clusters it is rebuilt from.
  if (drives_.VolumeHoldsDirectory(
          m_params.m_nDrive, options_.outputDirectory.empty() ? "." : options_.outputDirectory)) {
    boxes_.ShowMessageBox(t::kOtherDrive, std::string(t::kAppCaption), kMbIconExclamation);
    return 1;
  }

  ResetProgress(pProgress);
  pStatus.SetText(t::kExtractingBootSector);
  auto volume = OpenedVolume::Open(drives_, m_params.m_nDrive);
  if (!volume) {
    if (volume.error().kind == VolumeOpenError::Kind::kNotFat) {
      boxes_.ShowMessageBox(t::kFat32Only, std::string(t::kAppCaption), kMbIconInformation);
      return 1;
    }
    TellReadFailure(volume.error().read);
    pStatus.SetText(t::kErrorBootSector);
    return 1;
  }
  m_params = (*volume)->params();
  VolumeView& view = (*volume)->view();

  Walk walk;
  walk.components.assign(split.pieces.begin() + 1, split.pieces.end());
  walk.carries_mark = split.carries_deleted_mark;
  pStatus.SetText(t::kSearchingDirectories);
  if ((*volume)->IsExFat()) {
    walk.claims = ClaimsIfAsked(**volume, pAbort);
    if (const int result = WalkToExFatEntry(**volume, walk, pStatus); result != 0) return result;
    return CopyClusters(view, walk, pStatus, pProgress, pAbort);
  }
  if (const int result = WalkToEntry(view, walk, pStatus); result != 0) return result;
  walk.firstCluster = m_params.FirstClusterOf(walk.entry);
  walk.size = walk.entry.fileSize;
  walk.outputName = walk.file.output_name;
  walk.times = FatEntryTimes(walk.entry);
  walk.claims = ClaimsIfAsked(**volume, pAbort);
  walk.condition = ConditionOf(view, walk.firstCluster, walk.size, walk.claims);
  rebuilt_note_ = RebuildFirstClusterIfAsked(view, walk);
  return CopyClusters(view, walk, pStatus, pProgress, pAbort);
}

const ClusterClaims* CUndeleteEngine::ClaimsIfAsked(OpenedVolume& volume,
                                                    const std::atomic<int32_t>& abort) {
  if (!options_.stepOverClaims) return nullptr;
  if (!claims_ || claims_->first != volume.drive())
    claims_.emplace(volume.drive(), ClusterClaims::Gather(volume, abort));
  return &claims_->second;
}

void CUndeleteEngine::TellReadFailure(const ReadError& error) {
  quorvane::TellReadFailure(boxes_, error, ReadFailureTelling::kEngine);
}

// Walks the components from the root directory to the file's entry: every
// component but the last names a directory (its stored name and extension,
// whatever its full stop), entered as the search enters it; the last names
// the deleted file. Returns 0 with walk.entry set, or the call's result
// after reporting.
int CUndeleteEngine::WalkToEntry(VolumeView& view, Walk& walk, StatusText& status) {
  auto unreadable = [&](const ReadError& error) {
    TellReadFailure(error);
    boxes_.ShowMessageBox(t::kErrorReadingDir, std::nullopt, kMbOk);
    return 1;
  };
  auto bad_name = [&](PatternError error) {
    boxes_.ShowMessageBox(error == PatternError::kDirNameTooLong ? t::kUse8ByteDirs : t::kUse83,
                          std::nullopt, kMbOk);
    return 1;
  };
  const uint32_t root = static_cast<uint32_t>(m_params.m_nRootCluster);
  const DirectoryClusterRebuild rebuild =
      options_.rebuildClearedHighWord ? ClearedHighWordRebuild() : DirectoryClusterRebuild();

  uint32_t cluster = root;
  bool inside_deleted = false;
  bool in_orphans_folder = false;
  const DirectoryScope deleted_scope = options_.fragments ? DirectoryScope::kFirstClusterThenContinuations
                                                          : DirectoryScope::kFirstClusterOnly;
  auto extent = [&] {
    return DirectoryExtent{cluster, inside_deleted ? deleted_scope : DirectoryScope::kWholeChain};
  };
  const size_t directories = walk.components.size() - 1;
  for (size_t index = 0; index < directories; ++index) {
    const std::string& component = walk.components[index];
    if (const PatternError error = CheckDirectoryComponent(component); error != PatternError::kNone)
      return bad_name(error);
    const StoredName target = *StoredNameOfComponent(component);
    DirectoryStep step;
    step.parent = cluster == root ? 0 : cluster;
    step.insideDeleted = inside_deleted || HoldsDeletedMark(component);
    step.rebuild = rebuild ? &rebuild : nullptr;
    bool matched = false;
    std::optional<uint32_t> entered;
    if (in_orphans_folder) {  // its directories are named by their clusters only
      const auto orphan = OrphanNamedBy(view, component, 0, true);
      if (!orphan) return NotFound(status);
      cluster = *orphan;
      in_orphans_folder = false;
      continue;
    }
    const WalkEnd end = WalkDirectory(view, extent(), [&](const WalkedEntry& at) {
      const DirEntry entry = DirEntry::Parse(at.raw);
      if (!WalkTakesAsDirectory(entry) || UpperStoredName(entry) != target) return Visit::kGoOn;
      matched = true;
      step.siblings = at.cluster;
      entered = EnteredDirectoryCluster(view, entry, step);
      return Visit::kStop;
    });
    if (end.kind == WalkEnd::Kind::kUnreadable && !matched) return unreadable(end.error);
    // With --fragments, a name no entry has may name the root's orphans
    // folder, or an orphan directory whose ".." names this one.
    if (!matched && options_.fragments) {
      if (cluster == root && UpperAsciiLetters(component) == kOrphansFolder) {
        in_orphans_folder = true;
        inside_deleted = true;
        continue;
      }
      if (const auto orphan = OrphanNamedBy(view, component, step.parent, false)) {
        cluster = *orphan;
        inside_deleted = true;
        continue;
      }
    }
    // A deleted directory whose cluster holds no directory now leads nowhere.
    if (!entered) return NotFound(status);
    cluster = *entered;
    inside_deleted = step.insideDeleted;
  }

  LookupPattern pattern;
  if (const PatternError error = MakeLookupPattern(walk.components.back(), walk.carries_mark, pattern);
      error != PatternError::kNone)
    return bad_name(error);
  StoredName target;
  std::copy(pattern.name.begin(), pattern.name.end(), target.begin());
  std::copy(pattern.ext.begin(), pattern.ext.end(), target.begin() + 8);
  // The first file entry along the directory's chain with the pattern's
  // name (and the expected size and first cluster, when given); a
  // directory of that name is no file to bring back.
  std::optional<DirEntry> match;
  DeletedLongNameCollector long_name;  // for the extension a rebuild judges content by
  const WalkEnd end = WalkDirectory(view, extent(), [&](const WalkedEntry& at) {
    const DirEntry entry = DirEntry::Parse(at.raw);
    if (WalkTakesAsFile(entry) && UpperStoredName(entry) == target &&
        FitsExpectation(options_.expectedEntry, entry, m_params)) {
      match = entry;
      if (options_.rebuildClearedHighWord) {
        walk.siblings.assign(at.cluster.begin(), at.cluster.end());
        if (const auto found = long_name.TakeFor(entry))
          walk.longExtension = ExtensionOfLongName(found->longName);
      }
      return Visit::kStop;
    }
    if (entry.IsLongNamePart())
      long_name.AddPart(at.raw);
    else
      long_name.Forget();
    return Visit::kGoOn;
  });
  if (end.kind == WalkEnd::Kind::kUnreadable && !match) return unreadable(end.error);
  if (!match) return NotFound(status);
  walk.file = pattern;
  walk.entry = *match;
  return 0;
}

// The extension a file's format is judged by: its long name's, else its
// stored name's.
std::string CUndeleteEngine::ExtensionForChecks(const Walk& walk) const {
  if (!options_.longExtension.empty()) return options_.longExtension;
  if (!walk.longExtension.empty()) return walk.longExtension;
  const size_t dot = walk.outputName.rfind('.');
  return dot == std::string::npos ? std::string() : walk.outputName.substr(dot + 1);
}

int CUndeleteEngine::NotFound(StatusText& status) {
  boxes_.ShowMessageBox(t::kFileNotFoundBox, std::nullopt, kMbOk);
  status.SetText(t::kFileNotFoundStatus);
  return 1;
}

// exFAT keeps whole names: each component names a directory set (live or
// deleted) and the last one a deleted file's set, without regard to case.
// The file comes back under its stored name; a NoFatChain file from the
// clusters that follow its first, the others by the free-cluster rule.
int CUndeleteEngine::WalkToExFatEntry(OpenedVolume& volume, Walk& walk, StatusText& status) {
  DirectoryExtent extent{volume.RootCluster()};
  bool inside_deleted = false;
  for (size_t index = 0; index < walk.components.size(); ++index) {
    const bool last = index + 1 == walk.components.size();
    std::optional<ExFatFileSet> match;
    const WalkEnd end = ForEachExFatSet(volume.view(), extent, [&](const ExFatFileSet& set) {
      if (set.isDirectory == last || (last && !set.deleted && !inside_deleted)) return false;
      // Of several file sets of the name, the one expected.
      const auto& expected = options_.expectedEntry;
      if (last && expected && (set.size != expected->size || set.firstCluster != expected->firstCluster))
        return false;
      if (ExFatNameMatches(walk.components[index], set.name, volume.Upcase())) match = set;
      return match.has_value();
    });
    if (!match && end.kind == WalkEnd::Kind::kUnreadable) {
      TellReadFailure(end.error);
      boxes_.ShowMessageBox(t::kErrorReadingDir, std::nullopt, kMbOk);
      return 1;
    }
    if (!match) return NotFound(status);
    if (last) {
      walk.firstCluster = match->firstCluster;
      walk.size = match->size;
      walk.contiguous = match->noFatChain;
      walk.times = ExFatEntryTimes(*match);
      walk.condition = ExFatConditionOf(volume.view(), match->firstCluster, match->size,
                                        match->noFatChain, match->checksumMatches, walk.claims);
      // One name in the output directory: '/' and NUL cannot stand in one.
      walk.outputName = match->nameUtf8;
      for (char& c : walk.outputName)
        if (c == '/' || c == '\0') c = '_';
      walk.outputNameIsUtf8 = true;
      return 0;
    }
    if (!volume.params().IsClusterInVolume(match->firstCluster)) return NotFound(status);
    inside_deleted = inside_deleted || match->deleted;
    extent = ExFatDirectoryExtent(volume.params(), *match, inside_deleted);
  }
  return NotFound(status);
}

// With the option, the first cluster of an entry whose high word a delete
// may have cleared comes from evidence. Returns the note the final status
// carries then; without a candidate the entry's own cluster stays.
std::string CUndeleteEngine::RebuildFirstClusterIfAsked(VolumeView& view, Walk& walk) {
  std::optional<RebuiltCluster> rebuilt = options_.rebuiltCluster;
  if (!rebuilt) {
    if (!options_.rebuildClearedHighWord || !MayHaveLostHighWord(walk.entry, m_params)) return {};
    RebuildHints hints;
    hints.extension = !options_.longExtension.empty() ? std::string_view(options_.longExtension)
                      : !walk.longExtension.empty()   ? std::string_view(walk.longExtension)
                                                      : walk.entry.ExtBytes();
    hints.siblings = walk.siblings;
    rebuilt = RebuildFirstCluster(view, walk.entry, hints);
  }
  if (!rebuilt) return {};
  walk.firstCluster = rebuilt->cluster;
  walk.condition = rebuilt->guessed ? FileCondition::kGuessed : FileCondition::kRebuilt;
  return Format(rebuilt->guessed ? t::kGuessedFromFormat : t::kRebuiltFromFormat,
                static_cast<int>(rebuilt->cluster), 0);
}

// Creates the output file under the name asked for, or the next numbered
// name when that is taken. The name it was created under, or none after
// telling why there is no file.
std::optional<std::string> CUndeleteEngine::CreateOutput(OutputFile& output,
                                                         const std::string& wanted, bool utf8,
                                                         VolumeView& view,
                                                         StatusText& status) {
  std::string written_as = wanted;  // Latin-1, as the status shows it (or the host's name)
  auto host_name = [&](const std::string& name) {
    return options_.hostName || utf8 ? name : HostFileName(name);
  };
  for (int number = 2; !output.Create(host_name(written_as)); ++number) {
    if (!output.nameTaken() || number > kMaxNameNumber) {
      boxes_.ShowMessageBox(t::kErrorOpeningBox, std::nullopt, kMbOk);
      status.SetText(t::kErrorOpeningStatus);
      return std::nullopt;
    }
    written_as = NumberedName(wanted, number);
  }
  // The last guard before a byte is written: the file made must not be the
  // image or device being read, nor lie on it.
  const auto volume = view.reader().VolumeIdentity();
  const auto made = output.Identity();
  if (volume && made && volume->Holds(*made)) {
    output.Close();
    boxes_.ShowMessageBox(t::kOtherDrive, std::string(t::kAppCaption), kMbIconExclamation);
    return std::nullopt;
  }
  return written_as;
}

// Rebuilds the file from its first cluster on, taking only free clusters.
int CUndeleteEngine::CopyClusters(VolumeView& view, const Walk& walk, StatusText& status,
                                  ProgressBar& progress, const std::atomic<int32_t>& abort) {
  const uint64_t size = walk.size;
  const uint32_t cluster_bytes = m_params.ClusterBytes();
  // An exFAT file may pass 4 GiB; its clusters are still counted in 32 bits.
  const uint32_t n = static_cast<uint32_t>(
      std::min<uint64_t>(size / cluster_bytes + (size % cluster_bytes != 0 ? 1 : 0), UINT32_MAX));
  const int total = static_cast<int>(n);

  outcome_.found = true;
  outcome_.size = size;
  outcome_.firstCluster = walk.firstCluster;
  outcome_.condition = walk.condition;
  outcome_.times = walk.times;
  if (options_.findOnly) return 0;

  progress.SetRange32(0, total);
  progress.SetStep(1);
  OutputFile output(options_.outputDirectory);
  if (options_.keepTimes) output.KeepTimes(walk.times.modified, walk.times.accessed);
  const std::string wanted = options_.hostName.value_or(walk.outputName);
  const auto written_as = CreateOutput(output, wanted, walk.outputNameIsUtf8, view, status);
  if (!written_as) return 1;
  outcome_.outputPath = output.path();
  const bool renamed = *written_as != wanted;
  if (renamed) status.SetText(wanted + t::kNameTaken + *written_as);
  // A final status names the file when it is not the name asked for, and
  // says so when the copy is not known to be the file's own bytes.
  std::string condition_line;
  if (walk.condition != FileCondition::kIntact)
    condition_line.append(1, '\n').append(ConditionLine(walk.condition));
  // What reached the file, however the copy ends; bytes written as zeros
  // make a file that was intact unreadable, and are told in a line of their own.
  // With --fragments, a file of a format whose bytes show where they are
  // wrong is checked as it is copied, and followed past free clusters that
  // break it (format_follower.h); its format then has the last word.
  std::optional<FormatFollower> follower;
  bool checking = options_.fragments && !walk.contiguous;
  auto ended = [&](UndeleteOutcome::Kind kind) {
    outcome_.kind = kind;
    outcome_.bytesWritten = output.bytesWritten();
    if (const auto by_format = follower ? follower->Condition() : std::nullopt;
        by_format && outcome_.condition != FileCondition::kOverwritten &&
        (*by_format == FileCondition::kGuessed || outcome_.condition == FileCondition::kIntact ||
         outcome_.condition == FileCondition::kGaps)) {
      outcome_.condition = *by_format;
      condition_line.assign(1, '\n').append(ConditionLine(*by_format));
    }
    if (outcome_.zeroFilled.empty()) return;
    if (outcome_.condition == FileCondition::kIntact) outcome_.condition = FileCondition::kUnreadable;
    condition_line.append(1, '\n').append(UnreadableLine(outcome_.zeroFilled));
  };
  auto final_text = [&](const char* text) {
    return (renamed ? text + std::string(t::kSavedAs) + *written_as : std::string(text)) +
           rebuilt_note_ + condition_line;
  };

  const uint32_t run_capacity = std::max<uint32_t>(1, kRunBytes / cluster_bytes);
  ClusterRunReader runs(view, std::min(run_capacity, std::max(n, 1u)));
  uint64_t taken = 0;  // bytes of the file accounted for so far
  // A copy that stops keeps exactly the clusters taken: a run the host
  // copied ahead is cut back to them.
  auto close_taken = [&] { return output.TruncateTo(taken) && output.Close(); };
  auto hand_over = [&] {
    const bool ok = output.Append(runs.Taken());
    runs.HandedOver();
    return ok;
  };
  auto write_failed = [&] {
    output.Close();
    ended(UndeleteOutcome::Kind::kNotUndeleted);
    boxes_.ShowMessageBox(t::kErrorWritingBox, std::nullopt, kMbOk);
    status.SetText(t::kErrorWritingStatus);
    return 1;
  };
  // The volume ended, or a cluster could not be read: keep what was written
  // and say how much that is.
  auto partly = [&](uint32_t written) {
    if (!hand_over() || !close_taken()) return write_failed();
    ended(UndeleteOutcome::Kind::kPartly);
    status.SetText(final_text(t::kPartlyStatus));
    boxes_.ShowMessageBox(
        Format(t::kPartlyFormat, static_cast<int>(written), total) + condition_line,
        std::string(t::kAppCaption), kMbIconExclamation);
    return 1;
  };

  // With keepGoing, a cluster that cannot be read is read again sector by
  // sector; the file's bytes in the sectors that fail are zeros.
  auto keep_going_past = [&](uint32_t cluster, uint32_t k) {
    if (!options_.keepGoing) return false;
    const auto zeros = runs.LoadSectorBySector(cluster);
    if (!zeros) return false;
    const uint64_t at = uint64_t{k} * cluster_bytes;
    for (const ByteRange& range : *zeros)
      AddZeroFilled(outcome_.zeroFilled, at + range.start, std::min(at + range.end, size));
    return true;
  };

  FreeClusters free(view, walk.firstCluster, walk.contiguous, walk.claims);
  // Makes cluster j, the k-th of the file, ready to take; a run that
  // begins there is read with it. The call's result when the copy ends here.
  auto bring = [&](uint32_t j, uint32_t k) -> std::optional<int> {
    if (runs.Holds(j)) return std::nullopt;
    if (!hand_over()) return write_failed();
    // The free clusters that follow are read with it, up to what is still needed.
    uint32_t count = 1;
    if (!runs.ReadsSingly(j)) {
      std::optional<ReadError> unread;
      count = free.FreeRunLength(std::min(run_capacity, n - k), unread);
      if (unread) TellReadFailure(*unread);
    }
    // From an image file the host copies the run itself, unless its bytes
    // are checked; bytes it cannot copy are read here, and a read that
    // fails is told as always.
    const uint64_t run_bytes =
        std::min<uint64_t>(uint64_t{count} * cluster_bytes, size - uint64_t{k} * cluster_bytes);
    const auto on_host = checking ? std::nullopt : view.ClusterRunOnHost(j, count);
    if (on_host && output.AppendFromHost(*on_host, run_bytes)) {
      runs.MarkCopied(j, count);
    } else if (const auto loaded = runs.Load(j, count); !loaded) {
      if (!keep_going_past(j, k)) {
        TellReadFailure(loaded.error());
        return partly(k);
      }
      if (follower) follower->Blind();
    }
    return std::nullopt;
  };
  for (uint32_t k = 0; k < n; ++k) {
    switch (free.Next(abort)) {
      case FreeClusters::Found::kFree:
        break;
      case FreeClusters::Found::kAborted:
        if (!hand_over() || !close_taken()) return write_failed();
        ended(UndeleteOutcome::Kind::kAborted);
        ResetProgress(progress);
        status.SetText(final_text(t::kAborted));
        return 0;
      case FreeClusters::Found::kFatUnreadable:
        TellReadFailure(free.error());
        return partly(k);
      case FreeClusters::Found::kVolumeEnds:
        return partly(k);
    }
    uint32_t j = free.cluster();
    if (k % 20 == 0)
      status.SetText(Format(t::kUndeletingFormat, static_cast<int>(k) + 1, total));
    if (const auto stop = bring(j, k)) return *stop;
    auto bytes_of = [&](uint32_t index) {
      return index + 1 == n ? static_cast<uint32_t>(size - uint64_t{n - 1} * cluster_bytes) : cluster_bytes;
    };
    if (checking && k == 0) {
      follower = FormatFollower::Start(ExtensionForChecks(walk), runs.Bytes(j).first(bytes_of(0)), size);
      checking = follower.has_value();
    }
    if (follower && k > 0) {
      const FormatFollower::Move move = follower->Choose(view, free, k, j, runs.Bytes(j), abort);
      if (move.back || move.cluster != j) {
        // The clusters passed over are not the file's: what was taken goes
        // to the output first, cut back to where the file went elsewhere.
        if (!hand_over()) return write_failed();
        if (move.back) {
          if (!output.TruncateTo(move.taken)) return write_failed();
          taken = move.taken;
          k = move.index;
          progress.SetPos(static_cast<int32_t>(k));
        }
        free.StandOn(move.cluster);
        free.Next(abort);
        j = move.cluster;
        if (const auto stop = bring(j, k)) return *stop;
      }
    }
    const uint32_t bytes = bytes_of(k);
    if (follower) follower->Taken(k, j, taken, runs.Bytes(j).first(bytes));
    runs.Take(j, bytes);
    taken += bytes;
    progress.StepIt();
  }

  // Only a file that reached the disk whole is reported as undeleted.
  if (!hand_over() || !output.Close()) return write_failed();
  ended(UndeleteOutcome::Kind::kUndeleted);
  progress.SetPos(total);
  status.SetText(final_text(t::kUndeleted));
  boxes_.ShowMessageBox(t::kUndeleted + condition_line, std::string(t::kAppCaption),
                        kMbSystemModalInfo);
  ResetProgress(progress);
  status.SetText(final_text(t::kUndeleted));
  return 0;
}

}  // namespace quorvane
