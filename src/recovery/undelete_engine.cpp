#include "recovery/undelete_engine.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "recovery/engine_texts.h"
#include "recovery/host_file_name.h"
#include "recovery/output_file.h"
#include "recovery/undelete_path.h"
#include "volume/chain_guard.h"
#include "volume/dir_entry.h"
#include "volume/volume_view.h"

namespace quorvane {

namespace t = texts;

struct CUndeleteEngine::Walk {
  std::vector<std::string> components;  // after the drive piece
  bool carries_mark = false;
  LookupPattern file;      // the file component's pattern once found
  DirEntry entry{};        // its directory entry
};

namespace {

// Up to this many bytes of consecutive free clusters are read in one request.
constexpr size_t kRunBytes = 8u << 20;
// Numbered names tried when the recovered file's own name is taken.
constexpr int kMaxNameNumber = 9999;

std::string Format(const char* format, int a, int b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

bool Matches(std::span<const uint8_t> entry, const LookupPattern& pattern) {
  return std::equal(pattern.name.begin(), pattern.name.end(), entry.begin()) &&
         std::equal(pattern.ext.begin(), pattern.ext.end(), entry.begin() + 8);
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
  if (strPath.empty()) {
    boxes_.ShowMessageBox(t::kGiveFile, std::string(t::kAppCaption), kMbIconExclamation);
    return 0;
  }
  SplitPathResult split = SplitUndeletePath(strPath);
  if (split.pieces.empty() || split.pieces[0].size() < 2 || split.pieces[0][1] != ':') return 1;
  const char letter = split.pieces[0][0];
  m_params.m_nDrive = static_cast<unsigned char>(letter) - 64;
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
  if (drives_.VolumeHoldsDirectory(m_params.m_nDrive, ".")) {
    boxes_.ShowMessageBox(t::kOtherDrive, std::string(t::kAppCaption), kMbIconExclamation);
    return 1;
  }

  ResetProgress(pProgress);
  pStatus.SetText(t::kExtractingBootSector);
  SectorReader reader(drives_, boxes_, ReaderVariant::kEngine);
  if (m_params.ReadBootSector(reader) != 0) {
    pStatus.SetText(t::kErrorBootSector);
    return 1;
  }
  if (!m_params.IsUsableFat32()) {
    boxes_.ShowMessageBox(t::kFat32Only, std::string(t::kAppCaption), kMbIconInformation);
    return 1;
  }
  VolumeView view(reader, m_params);

  Walk walk;
  walk.components.assign(split.pieces.begin() + 1, split.pieces.end());
  walk.carries_mark = split.carries_deleted_mark;
  pStatus.SetText(t::kSearchingDirectories);
  if (const int result = WalkToEntry(view, walk, pStatus, pProgress); result != 0) return result;
  return CopyClusters(view, walk, pStatus, pProgress, pAbort);
}

// Walks the components from the root directory to the file's entry.
// Returns 0 with walk.entry set, or the call's result after reporting.
int CUndeleteEngine::WalkToEntry(VolumeView& view, Walk& walk, StatusText& status,
                                 ProgressBar& /*progress*/) {
  auto not_found = [&] {
    boxes_.ShowMessageBox(t::kFileNotFoundBox, std::nullopt, kMbOk);
    status.SetText(t::kFileNotFoundStatus);
    return 1;
  };
  auto unreadable = [&] {
    boxes_.ShowMessageBox(t::kErrorReadingDir, std::nullopt, kMbOk);
    return 1;
  };

  uint32_t cluster = static_cast<uint32_t>(m_params.m_nRootCluster);
  bool inside_deleted = false;
  for (size_t index = 0; index < walk.components.size(); ++index) {
    LookupPattern pattern;
    switch (MakeLookupPattern(walk.components[index], walk.carries_mark, pattern)) {
      case PatternError::kBadFileName:
        boxes_.ShowMessageBox(t::kUse83, std::nullopt, kMbOk);
        return 1;
      case PatternError::kDirNameTooLong:
        boxes_.ShowMessageBox(t::kUse8ByteDirs, std::nullopt, kMbOk);
        return 1;
      case PatternError::kNone:
        break;
    }

    // Search this directory cluster by cluster along its chain. A chain that
    // leaves the volume or comes back to a cluster already read ends here.
    ChainGuard chain(m_params);
    std::optional<DirEntry> match;
    while (!match) {
      if (!chain.Enter(cluster)) return not_found();
      auto bytes = view.ReadCluster(cluster);
      if (!bytes) return unreadable();
      for (size_t i = 0; i < EntriesIn(*bytes); ++i) {
        if (Matches(EntryBytes(*bytes, i), pattern)) {
          match = DirEntry::Parse(EntryBytes(*bytes, i));
          break;
        }
      }
      if (match) break;
      const auto next = view.FatEntry(cluster);
      if (!next) return unreadable();
      if (FatParams::IsEndOfChain(*next) || inside_deleted) return not_found();
      cluster = *next;
    }

    cluster = match->FirstCluster();
    if (std::find(pattern.name.begin(), pattern.name.end(), kDeletedMark) != pattern.name.end())
      inside_deleted = true;
    if (pattern.is_file) {
      walk.file = pattern;
      walk.entry = *match;
      return 0;
    }
  }
  // The last component matched a directory: the path names no file.
  boxes_.ShowMessageBox(t::kGiveFile, std::string(t::kAppCaption), kMbIconExclamation);
  return 1;
}

// Rebuilds the file from its first cluster on, taking only free clusters.
int CUndeleteEngine::CopyClusters(VolumeView& view, const Walk& walk, StatusText& status,
                                  ProgressBar& progress, const std::atomic<int32_t>& abort) {
  const uint32_t size = walk.entry.fileSize;
  const uint32_t cluster_bytes = m_params.ClusterBytes();
  const uint32_t n = size / cluster_bytes + (size % cluster_bytes != 0 ? 1 : 0);
  const auto spc = static_cast<uint32_t>(m_params.m_nSectorsPerCluster);
  const int total = static_cast<int>(n);

  progress.SetRange32(0, total);
  progress.SetStep(1);
  OutputFile output;
  const std::string& wanted = walk.file.output_name;
  std::string written_as = wanted;  // Latin-1, as the status shows it
  for (int number = 2; !output.Create(HostFileName(written_as)); ++number) {
    if (!output.nameTaken() || number > kMaxNameNumber) {
      boxes_.ShowMessageBox(t::kErrorOpeningBox, std::nullopt, kMbOk);
      status.SetText(t::kErrorOpeningStatus);
      return 1;
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
    return 1;
  }
  const bool renamed = written_as != wanted;
  if (renamed) status.SetText(wanted + t::kNameTaken + written_as);
  // A final status names the file when it is not the name asked for.
  auto final_text = [&](const char* text) {
    return renamed ? text + std::string(t::kSavedAs) + written_as : std::string(text);
  };
  const uint32_t run_capacity = std::max<uint32_t>(1, kRunBytes / cluster_bytes);
  std::vector<uint8_t> run(static_cast<size_t>(std::min(run_capacity, std::max(n, 1u))) *
                           cluster_bytes);
  auto write_failed = [&] {
    output.Close();
    boxes_.ShowMessageBox(t::kErrorWritingBox, std::nullopt, kMbOk);
    status.SetText(t::kErrorWritingStatus);
    return 1;
  };
  // The volume ended, or a cluster could not be read: keep what was written
  // and say how much that is.
  // Clusters taken from the run buffer and not yet handed to the output: one
  // span, since the clusters of a run are consecutive.
  size_t taken_from = 0, taken_bytes = 0;
  auto hand_over = [&] {
    const bool ok = output.Append(std::span<const uint8_t>(run).subspan(taken_from, taken_bytes));
    taken_bytes = 0;
    return ok;
  };
  auto partly = [&](uint32_t written) {
    if (!hand_over() || !output.Close()) return write_failed();
    status.SetText(final_text(t::kPartlyStatus));
    boxes_.ShowMessageBox(Format(t::kPartlyFormat, static_cast<int>(written), total),
                          std::string(t::kAppCaption), kMbIconExclamation);
    return 1;
  };

  uint32_t run_first = 0, run_count = 0;  // clusters held in `run`
  uint32_t single_until = 0;  // after a failed run read, clusters up to here are read one by one

  uint32_t j = walk.entry.FirstCluster();
  for (uint32_t k = 0; k < n; ++j) {
    if (abort.load() != 0) {
      if (!hand_over() || !output.Close()) return write_failed();
      ResetProgress(progress);
      status.SetText(final_text(t::kAborted));
      return 0;
    }
    if (!m_params.IsClusterInVolume(j)) return partly(k);
    const auto fat = view.FatEntry(j);
    if (!fat) return partly(k);
    if (*fat != 0) continue;  // in use: stepped over

    if (k % 20 == 0)
      status.SetText(Format(t::kUndeletingFormat, static_cast<int>(k) + 1, total));
    if (j < run_first || j >= run_first + run_count) {
      if (!hand_over()) return write_failed();
      // Gather the free clusters that follow, up to what is still needed.
      uint32_t count = 1;
      if (j >= single_until) {
        const uint32_t limit = std::min(run_capacity, n - k);
        while (count < limit && m_params.IsClusterInVolume(j + count)) {
          const auto next = view.FatEntry(j + count);
          if (!next || *next != 0) break;
          ++count;
        }
      }
      std::span<uint8_t> target(run.data(), static_cast<size_t>(count) * cluster_bytes);
      bool ok = count > 1 && view.ReadClusterRunQuietly(j, count, target);
      if (!ok) {
        if (count > 1) single_until = j + count;
        count = 1;
        ok = view.reader().ReadInto(m_params.m_nDrive, m_params.ClusterToSector(j), spc,
                                    target.first(cluster_bytes));
      }
      if (!ok) return partly(k);
      run_first = j;
      run_count = count;
    }
    const size_t bytes = k + 1 == n ? size - (n - 1) * cluster_bytes : cluster_bytes;
    if (taken_bytes == 0) taken_from = static_cast<size_t>(j - run_first) * cluster_bytes;
    taken_bytes += bytes;
    ++k;
    progress.StepIt();
  }

  // Only a file that reached the disk whole is reported as undeleted.
  if (!hand_over() || !output.Close()) return write_failed();
  progress.SetPos(total);
  status.SetText(final_text(t::kUndeleted));
  boxes_.ShowMessageBox(t::kUndeleted, std::string(t::kAppCaption), kMbSystemModalInfo);
  ResetProgress(progress);
  status.SetText(final_text(t::kUndeleted));
  return 0;
}

}  // namespace quorvane
