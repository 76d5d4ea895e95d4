#include "support/row_volumes.h"

#include <algorithm>
#include <stdexcept>

#include "support/nt_deleted.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

std::string BigFileName(int i) {
  return "/DOCS/BIG/F" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".BIN";
}

void FillSearchVolume(MtoolsVolume& v) {
  for (const char* d : {"/DOCS", "/DOCS/OLD", "/DOCS/BIG", "/GONE", "/GONE/SUB", "/TWINS", "/TWIND",
                        "/TWIND/XDIR", "/TWIND/YDIR"})
    v.MakeDirectory(d);
  v.AddFile("/Root long name.txt", PatternBytes(700, 1)).AddFile("/DOCS/REPORT.DOC", PatternBytes(5000, 2));
  v.AddFile("/DOCS/KEEP.TXT", PatternBytes(300, 3)).AddFile("/DOCS/A long name file.txt", PatternBytes(1024, 4));
  v.AddFile("/DOCS/EMPTY.DAT", std::string()).AddFile("/DOCS/OLD/NOTES.TXT", PatternBytes(1500, 5));
  for (int i = 0; i < 40; ++i) v.AddFile(BigFileName(i), PatternBytes(100 + i, 100 + i));
  v.AddFile("/GONE/INNER.BIN", PatternBytes(2000, 6)).AddFile("/GONE/SUB/DEEP.TXT", PatternBytes(513, 7));
  v.AddFile("/TWINS/AB.BIN", PatternBytes(600, 8)).AddFile("/TWINS/CB.BIN", PatternBytes(900, 9));
  v.AddFile("/TWIND/XDIR/ONE.TXT", PatternBytes(800, 10)).AddFile("/TWIND/YDIR/TWO.TXT", PatternBytes(400, 11));
  for (const char* path : {"/Root long name.txt", "/DOCS/REPORT.DOC", "/DOCS/A long name file.txt",
                           "/DOCS/EMPTY.DAT", "/DOCS/OLD/NOTES.TXT", "/TWINS/AB.BIN", "/TWINS/CB.BIN"})
    v.Delete(path);
  for (int i : {5, 20, 35}) v.Delete(BigFileName(i));  // one in each cluster of BIG
  for (const char* tree : {"/GONE", "/TWIND/XDIR", "/TWIND/YDIR"}) v.DeleteTree(tree);
}

std::string DeepestWalkCaseDirectory() {
  std::string path = "/CASES/DEEP";
  for (int level = 10; level < 40; ++level) path += "/LEVEL0" + std::to_string(level);
  return path;
}

void AddWalkCases(MtoolsVolume& v, bool reused_cluster) {
  v.MakeDirectory("/CASES");
  for (const char* d : {"/CASES/ARCHIVE.OLD", "/CASES/V1.01", "/CASES/2019.Q4", "/CASES/2019.Q4/INNER",
                        "/CASES/HOLDER", "/CASES/HOLDER/GONEDIR"})
    v.MakeDirectory(d);
  v.AddFile("/CASES/ARCHIVE.OLD/REPORT.TXT", PatternBytes(1300, 21));
  v.AddFile("/CASES/ARCHIVE.OLD/KEEP.TXT", PatternBytes(200, 22));
  v.AddFile("/CASES/V1.01/SETUP.EXE", PatternBytes(2100, 23));
  v.AddFile("/CASES/2019.Q4/SALES.CSV", PatternBytes(900, 24));
  v.AddFile("/CASES/2019.Q4/INNER/NOTE.TXT", PatternBytes(450, 25));
  v.AddFile("/CASES/README", PatternBytes(333, 26));
  v.AddFile("/CASES/HOLDER/GONEDIR/A.TXT", PatternBytes(100, 27));
  std::string deep = "/CASES/DEEP";
  v.MakeDirectory(deep);
  for (int level = 10; level < 40; ++level) {
    deep += "/LEVEL0" + std::to_string(level);
    v.MakeDirectory(deep);
    if (level == 25) v.AddFile(deep + "/MIDDLE.TXT", PatternBytes(640, 28));
  }
  v.AddFile(deep + "/BOTTOM.TXT", PatternBytes(1111, 29));
  v.ReserveEntries("/CASES", 4);

  // The deleted directory's first cluster goes to a live file whose bytes
  // look like the entries of deleted files. First, so that the file takes
  // a slot ReserveEntries freed, not a deleted entry's.
  if (reused_cluster) {
    const uint32_t gone = v.FirstCluster("/CASES/HOLDER/GONEDIR");
    v.DeleteTree("/CASES/HOLDER/GONEDIR");
    std::vector<uint8_t> entries(512, 0);
    for (int i = 0; i < 16; ++i) {
      uint8_t* e = entries.data() + 32 * i;
      const std::string name = "\xE5" "ARSED" + std::to_string(i % 10) + " TXT";
      std::copy(name.begin(), name.end(), e);
      e[11] = 0x20;
      e[26] = static_cast<uint8_t>(gone + 1000);  // a free cluster
      e[27] = static_cast<uint8_t>((gone + 1000) >> 8);
      e[28] = 100;
  }
  v.SetNextFreeCluster(gone - 1).AddFile("/CASES/TAKER.BIN", entries);
  }
  v.Delete("/CASES/ARCHIVE.OLD/REPORT.TXT").Delete("/CASES/V1.01/SETUP.EXE").Delete("/CASES/README");
  v.Delete(DeepestWalkCaseDirectory() + "/BOTTOM.TXT");
  v.Delete("/CASES/DEEP/LEVEL010/LEVEL011/LEVEL012/LEVEL013/LEVEL014/LEVEL015/LEVEL016/LEVEL017/"
           "LEVEL018/LEVEL019/LEVEL020/LEVEL021/LEVEL022/LEVEL023/LEVEL024/LEVEL025/MIDDLE.TXT");
  v.DeleteTree("/CASES/2019.Q4");
}

OrphanClusters AddOrphanCases(MtoolsVolume& v) {
  for (const char* d : {"/ORPH", "/ORPH/A", "/ORPH/A/OLD", "/ORPH/B", "/ORPH/B/INNER"}) v.MakeDirectory(d);
  v.AddFile("/ORPH/A/OLD/LOST1.TXT", PatternBytes(700, 41)).AddFile("/ORPH/A/OLD/LOST2.TXT", PatternBytes(300, 42));
  v.AddFile("/ORPH/B/INNER/DEEP.TXT", PatternBytes(1200, 43));
  // "." and ".." and INNER and 13 files fill B's first cluster; the rest
  // go on in a cluster past the files written so far.
  for (int i = 0; i < 16; ++i)
    v.AddFile("/ORPH/B/F" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".TXT",
              PatternBytes(200 + 10 * i, 50 + i));
  v.AddFile("/ORPH/END.BIN", PatternBytes(512, 49));
  OrphanClusters clusters;
  clusters.old = v.FirstCluster("/ORPH/A/OLD");
  clusters.inner = v.FirstCluster("/ORPH/B/INNER");
  const uint32_t b = v.FirstCluster("/ORPH/B");
  const uint32_t end = v.FirstCluster("/ORPH/END.BIN");
  // "::/ORPH/B <9> <27>": the second piece of the chain is the later cluster.
  const CommandResult chain = RunCommand({"mshowfat", "-i", v.path(), "::/ORPH/B"});
  const size_t second = chain.output.find('<', chain.output.find('<') + 1);
  if (second == std::string::npos) throw std::runtime_error("B did not grow: " + chain.output);
  clusters.later = static_cast<uint32_t>(std::stoul(chain.output.substr(second + 1)));
  v.DeleteTree("/ORPH/A/OLD").DeleteTree("/ORPH/B");
  // New files after everything, but for TAKEN.BIN, which takes B's cluster.
  v.SetNextFreeCluster(end).AddFile("/ORPH/A/NEWER.TXT", PatternBytes(100, 44));
  v.SetNextFreeCluster(b - 1).AddFile("/ORPH/TAKEN.BIN", PatternBytes(400, 45));
  return clusters;
}

std::vector<uint8_t> FirstReport() { return PatternBytes(2100, 31); }
std::vector<uint8_t> SecondReport() { return PatternBytes(1120, 32); }

void AddRecreatedTwins(MtoolsVolume& v) {
  // The first copy's long name takes two slots, of which the second copy's
  // short entry reuses the first; GAP.BIN's clusters, freed before it,
  // are the first free ones, so the first copy's stay as they were.
  v.MakeDirectory("/TWICE");
  v.AddFile("/TWICE/GAP.BIN", PatternBytes(1536, 30)).AddFile("/TWICE/Report.txt", FirstReport());
  v.Delete("/TWICE/GAP.BIN").Delete("/TWICE/Report.txt");
  v.AddFile("/TWICE/REPORT.TXT", SecondReport()).Delete("/TWICE/REPORT.TXT");
}

std::vector<uint8_t> NtZip(size_t size) {
  std::vector<uint8_t> bytes = PatternBytes(size, 7);
  const uint8_t header[] = {'P', 'K', 3, 4, 20, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), bytes.begin());
  return bytes;
}

std::vector<uint8_t> NtText(size_t size) {
  const std::string line = "Dear bank, please find the figures attached.\n";
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) bytes.insert(bytes.end(), line.begin(), line.end());
  bytes.resize(size);
  return bytes;
}

int FillNtDeletedVolume(MtoolsVolume& v) {
  // A text genuinely below cluster 65,536, then the others past it, one
  // of them with the same low word as the text, one whose low word is 0.
  v.AddFile("/low notes.txt", NtText(1500));
  // The text takes clusters 3 to 5; mtools goes on after the hint.
  v.SetNextFreeCluster(65535).AddFile("/zero low word.txt", NtText(900));  // clusters 65536 and 65537
  v.SetNextFreeCluster(65536 + 3);
  v.AddFile("/Letter to the bank.docx", NtZip(3000));       // clusters 65540 to 65545
  v.AddFile("/minutes of the meeting.txt", NtText(2500));  // clusters 65546 to 65550
  v.MakeDirectory("/Old letters").AddFile("/Old letters/to the council.txt", NtText(700));
  v.MakeDirectory("/Old letters/Inner").AddFile("/Old letters/Inner/deeper notes.txt", NtText(1200));
  for (const char* name : {"/low notes.txt", "/zero low word.txt", "/Letter to the bank.docx",
                           "/minutes of the meeting.txt"})
    v.Delete(name);
  v.DeleteTree("/Old letters");
  return ClearHighWordsOfDeleted(v.path());
}

}  // namespace quorvane::testing
