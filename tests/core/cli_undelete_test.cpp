// quorvane-cli undelete and drives, run as a user runs them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::CommandOptions;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::TempDir;
using testing::UnchangedGuard;

class CliUndelete : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_.MakeDirectory("/DOCS");
    volume_.AddFile("/DOCS/REPORT.TXT", PatternBytes(5000, 1));
    volume_.Delete("/DOCS/REPORT.TXT");
    unchanged_ = std::make_unique<UnchangedGuard>(volume_.path());
  }
  TempDir dir_;
  MtoolsVolume volume_{dir_.File("card.img")};
  TempDir out_;
  std::unique_ptr<UnchangedGuard> unchanged_;
};

TEST_F(CliUndelete, RecoversIntoTheOutputDirectoryAndReportsOnStandardError) {
  auto run = RunCli({"--drive", "C:=" + volume_.path(), "undelete", "-o", out_.str(),
                     "C:\\DOCS\\REPORT.TXT"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFileBytes(out_.File("REPORT.TXT")), PatternBytes(5000, 1));
  EXPECT_THAT(run.output, HasSubstr("Extracting the boot sector info ...\n"));
  EXPECT_THAT(run.output, HasSubstr("Undeleting file ...\nReading cluster  \n1 of 10\n"));
  EXPECT_THAT(run.output, HasSubstr("Quorvane: File Undeleted !\n"));
}

TEST_F(CliUndelete, ExitStatusIsTheEngineResultAndUncaptionedBoxesCarryTheTitle) {
  // A bare image path takes C:; a missing file fails with the engine's result.
  auto missing = RunCli({volume_.path(), "undelete", "-o", out_.str(), "C:\\DOCS\\NONE.TXT"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.output, HasSubstr("quorvane-cli: File not found !\n"));

  auto unmapped = RunCli({volume_.path(), "undelete", "-o", out_.str(), "D:\\X.TXT"});
  EXPECT_EQ(unmapped.status, 1);
  EXPECT_THAT(unmapped.output, HasSubstr("quorvane-cli: CreateFile () Failed !\n"));
  EXPECT_THAT(unmapped.output, HasSubstr("Error reading boot sector !\n"));

  auto empty = RunCli({volume_.path(), "undelete", "-o", out_.str(), ""});
  EXPECT_EQ(empty.status, 0);
  EXPECT_THAT(empty.output, HasSubstr("Quorvane: Please give/select a file to undelete \n"));
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

TEST_F(CliUndelete, RawRowBytesPassUnchangedAndDefaultOutputIsTheCurrentDirectory) {
  CommandOptions in_out;
  in_out.cwd = out_.str();
  auto run = RunCli({"--drive=c:=" + volume_.path(), "undelete", "C:\\DOCS\\\xE5" "EPORT  .TXT"},
                    in_out);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFileBytes(out_.File("XEPORT  .TXT")), PatternBytes(5000, 1));
}

TEST_F(CliUndelete, BadArgumentsAndTheDriveTable) {
  EXPECT_EQ(RunCli({"--drive", "C=oops", "drives"}).status, 2);
  EXPECT_EQ(RunCli({volume_.path(), "undelete"}).status, 2);
  EXPECT_EQ(RunCli({volume_.path(), "undelete", "-o", dir_.File("no-such-dir"), "C:\\A.TXT"}).status,
            1);

  auto table = RunCli({"--drive", "E:=" + volume_.path(), volume_.path(), "drives"});
  EXPECT_EQ(table.status, 0);
  EXPECT_EQ(table.output, "C: " + volume_.path() + "\nE: " + volume_.path() + "\n");
  EXPECT_THAT(table.output, Not(HasSubstr("D:")));
}

}  // namespace
}  // namespace quorvane
