// Files deleted as the NT family deletes them (the high word of the first
// cluster cleared), recovered through the command line with --nt-deleted and
// --long-names, on real mtools volumes of more than 65,536 clusters.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "recovery/undelete_engine.h"
#include "support/mtools_volume.h"
#include "support/nt_deleted.h"
#include "support/row_volumes.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/temp_dir.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;

using testing::NtText;
using testing::NtZip;

// A row's bytes as undelete --hex takes them.
std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const unsigned char c : bytes) hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return hex;
}

class NtDeleted : public ::testing::Test {
 protected:
  void SetUp() override {
    // Three files and a directory past cluster 65,535 lose their high
    // words; the files inside the deleted directory keep theirs.
    ASSERT_EQ(testing::FillNtDeletedVolume(volume_), 4);
  }
  // quorvane-cli with the volume as C:.
  testing::CommandResult Cli(std::vector<std::string> args, const testing::CommandOptions& options = {}) {
    args.insert(args.begin(), {"--drive", "C:=" + volume_.path()});
    return RunCli(args, options);
  }
  testing::CommandResult Undelete(std::vector<std::string> options, const std::string& path) {
    options.insert(options.begin(), {"undelete", "-o", out_.str()});
    if (!path.empty()) options.push_back(path);
    return Cli(options);
  }
  testing::TempDir dir_;
  testing::MtoolsVolume volume_{dir_.File("nt.img")};
  testing::TempDir out_;
};

TEST_F(NtDeleted, RebuiltClustersRecoverEveryFileUnderItsLongNameAndSaySo) {
  const struct { const char* path; const char* name; std::vector<uint8_t> bytes; bool rebuilt; } files[] = {
      {"C:\\letter to the BANK.docx", "Letter to the bank.docx", NtZip(3000), true},
      {"C:\\minutes of the meeting.txt", "minutes of the meeting.txt", NtText(2500), true},
      {"C:\\low notes.txt", "low notes.txt", NtText(1500), false},  // cluster 3 stays
  };
  for (const auto& f : files) {
    const auto run = Undelete({"--nt-deleted", "--long-names"}, f.path);
    // Written whole, but from a cluster the entry no longer held: status 3.
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_EQ(ReadFileBytes(out_.File(f.name)), f.bytes) << f.path;
    if (f.rebuilt)
      EXPECT_THAT(run.output, HasSubstr(" (rebuilt)")) << run.output;
    else
      EXPECT_THAT(run.output, HasSubstr("From first cluster 3 (rebuilt)")) << run.output;
  }
  // A listed row given by its bytes: the walk finds the long name's
  // extension itself (DOCX: a ZIP, where the stored DOC would want OLE2).
  const auto by_hex = Undelete({"--nt-deleted", "--hex", Hex("C:\\\xE5" "ETTER~1.DOC")}, "");
  EXPECT_EQ(by_hex.status, 3) << by_hex.output;
  EXPECT_EQ(ReadFileBytes(out_.File("XETTER~1.DOC")), NtZip(3000));
  // --quiet keeps the line that names the cluster.
  const auto quiet = Cli({"--quiet", "undelete", "-o", out_.str(), "--nt-deleted", "C:\\MINUTE~1.TXT"});
  EXPECT_THAT(quiet.output, HasSubstr("From first cluster ")) << quiet.output;
  EXPECT_EQ(ReadFileBytes(out_.File("XINUTE~1.TXT")), NtText(2500));
}

TEST_F(NtDeleted, SearchRowsCarryLongPathConditionAndTheRebuiltCluster) {
  const auto run = Cli({"search", "--recurse", "--deleted-dirs", "--nt-deleted", "--details", "C:"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string E5 = "\xE5";
  for (const std::string& line : {
           "C:\\" + E5 + "ETTER~1.DOC\t3000\tC:\\Letter to the bank.docx\trebuilt\t65540\t",
           "C:\\" + E5 + "INUTE~1.TXT\t2500\tC:\\minutes of the meeting.txt\trebuilt\t65546\t",
           "C:\\" + E5 + "OWNOT~1.TXT\t1500\tC:\\low notes.txt\trebuilt\t3\t",
       })
    EXPECT_THAT(run.output, HasSubstr(line));
  // The file in the deleted directory, found through the directory's own . and ..
  EXPECT_THAT(run.output, HasSubstr("\tC:\\Old letters\\to the council.txt\tintact\t"));

  // The classic search lists two columns, and misses the directory's file.
  const auto plain = Cli({"search", "--recurse", "--deleted-dirs", "C:"});
  EXPECT_THAT(plain.output, HasSubstr("C:\\" + E5 + "ETTER~1.DOC\t3000\n"));
  EXPECT_THAT(plain.output, Not(HasSubstr("council")));
  EXPECT_THAT(plain.output, Not(HasSubstr("OUNCI")));
}

TEST_F(NtDeleted, TheWizardsRowHandsItsRebuiltClusterToTheEngine) {
  // What page 4 does with a row the search rebuilt: the engine takes the
  // row's cluster as it stands and says how it came by it.
  struct LastStatus final : StatusText {
    void SetText(const std::string& text) override { last = text; }
    std::string last;
  } status;
  struct NoBar final : ProgressBar {
    void SetRange32(int32_t, int32_t) override {}
    void DeltaPos(int32_t) override {}
    void SetStep(int32_t) override {}
    void StepIt() override {}
    void SetPos(int32_t) override {}
  } bar;
  struct Boxes final : MessageBoxHost {
    int ShowMessageBox(const std::string& text, const std::optional<std::string>&, uint32_t) override {
      shown.push_back(text);
      return kIdOk;
    }
    std::vector<std::string> shown;
  } boxes;
  DriveTable drives;
  drives.Map('C', volume_.path());
  testing::ScopedCurrentDir cwd(out_.path());
  CUndeleteEngine engine(drives, boxes);
  UndeleteOptions options;
  options.rebuiltCluster = RebuiltCluster{65540, true};
  engine.SetOptions(options);
  std::atomic<int32_t> abort{0};
  EXPECT_EQ(engine.UndeleteByPath("C:\\\xE5" "ETTER~1.DOC", status, bar, abort), 0);
  EXPECT_EQ(ReadFileBytes(out_.File("XETTER~1.DOC")), NtZip(3000));
  const std::string line = "\n" + ConditionLine(FileCondition::kGuessed);
  EXPECT_EQ(status.last, "File Undeleted !\nFrom first cluster 65540 (guessed)" + line);
  EXPECT_EQ(boxes.shown, std::vector<std::string>{"File Undeleted !" + line});
}

TEST_F(NtDeleted, TheLookupRebuildsDeletedDirectoriesAndZeroLowWordsAsTheSearchDoes) {
  const auto run = Cli({"search", "--recurse", "--deleted-dirs", "--nt-deleted", "--details", "C:"},
                      {.cwd = {}, .stdout_only = true});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::map<std::string, std::pair<std::vector<uint8_t>, uint32_t>> wanted = {
      {"C:\\zero low word.txt", {NtText(900), 65536}},  // stored first cluster 0
      {"C:\\Old letters\\to the council.txt", {NtText(700), 65552}},
      {"C:\\Old letters\\Inner\\deeper notes.txt", {NtText(1200), 65555}},
  };
  std::map<std::string, testing::SearchRow> rows;
  for (const testing::SearchRow& row : testing::SearchRows(run.output)) rows[row.longPath] = row;
  for (const auto& [long_path, file] : wanted) {
    ASSERT_TRUE(rows.contains(long_path)) << long_path << "\n" << run.output;
    const testing::SearchRow& row = rows.at(long_path);
    EXPECT_EQ(row.firstCluster, file.second) << long_path;
    // The row's bytes and its long path come back alike, from the clusters listed.
    testing::TempDir by_row, by_name;
    const auto listed = Cli({"undelete", "-o", by_row.str(), "--nt-deleted", "--hex", Hex(row.path)});
    // Exit status 3: written whole, but not intact (a rebuilt cluster).
    const int written_whole = row.condition == "intact" ? 0 : 3;
    EXPECT_EQ(listed.status, written_whole) << listed.output;
    const std::string name = long_path.substr(long_path.rfind('\\') + 1);
    const auto named = Cli({"undelete", "-o", by_name.str(), "--nt-deleted", "--long-names", long_path});
    EXPECT_EQ(named.status, written_whole) << named.output;
    EXPECT_EQ(ReadFileBytes(by_name.File(name)), file.first) << long_path;
    const auto output = std::filesystem::directory_iterator(by_row.path())->path();
    EXPECT_EQ(ReadFileBytes(output), file.first) << long_path;
    // Without the option the directory's low word leads to no directory.
    if (long_path.find("Old letters") != std::string::npos) {
      const auto plain = Undelete({}, row.path);
      EXPECT_THAT(plain.output, HasSubstr("File not found !")) << plain.output;
    }
  }
}

TEST_F(NtDeleted, WithoutTheOptionsTheLowWordIsTakenAsAlways) {
  // The classic rules read the cleared cluster number as it stands.
  const auto run = Undelete({}, "C:\\LETTER~1.DOC");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(ReadFileBytes(out_.File("LETTER~1.DOC")), NtZip(3000));
  EXPECT_THAT(run.output, Not(HasSubstr("From first cluster")));
  // A long name is no 8.3 name without the options.
  EXPECT_NE(Undelete({}, "C:\\Letter to the bank.docx").status, 0);
}

}  // namespace
}  // namespace quorvane
