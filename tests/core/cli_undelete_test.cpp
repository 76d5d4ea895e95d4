// quorvane-cli undelete and drives, run as a user runs them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::CommandOptions;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::RunCliWithMountTable;
using testing::TempDir;
using testing::UnchangedGuard;

class CliUndelete : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_.MakeDirectory("/DOCS");
    volume_.AddFile("/DOCS/REPORT.TXT", PatternBytes(5000, 1)).AddFile("/GONE.TXT", PatternBytes(10, 2));
    volume_.MakeDirectory("/My Photos").AddFile("/My Photos/Holiday picture.jpeg", PatternBytes(3000, 3));
    volume_.Delete("/DOCS/REPORT.TXT").Delete("/GONE.TXT").Delete("/My Photos/Holiday picture.jpeg");
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
  // Standard error is no terminal: the message and the last status alone.
  EXPECT_EQ(run.output, "Quorvane: File Undeleted !\nFile Undeleted !\n");
  // On a terminal every status text, the cluster counts among them.
  CommandOptions terminal;
  terminal.terminal = true;
  auto shown = RunCli({"--drive", "C:=" + volume_.path(), "undelete", "-o", out_.str(), "C:\\GONE.TXT"}, terminal);
  EXPECT_EQ(shown.status, 0) << shown.output;
  EXPECT_THAT(shown.output, HasSubstr("Extracting the boot sector info ..."));
  EXPECT_THAT(shown.output, HasSubstr("Undeleting file ...\nReading cluster  \n1 of 1\n"));

  // --quiet leaves the messages alone, nothing else (the status naming the
  // file written, REPORT (2).TXT, included).
  auto quiet = RunCli({"--quiet", "--drive", "C:=" + volume_.path(), "undelete", "-o", out_.str(),
                       "C:\\DOCS\\REPORT.TXT"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.output, "Quorvane: File Undeleted !\n");
  EXPECT_EQ(ReadFileBytes(out_.File("REPORT (2).TXT")), PatternBytes(5000, 1));
}

TEST_F(CliUndelete, FailuresEndWithStatus1AndAReasonAndNothingHangs) {
  // Things that are no volume, made beside the image.
  const std::string fifo = dir_.File("fifo"), socket_path = dir_.File("socket");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  testing::WriteFileBytes(dir_.File("zeros.img"), std::vector<uint8_t>(64 * 1024));
  testing::WriteFileBytes(dir_.File("short.img"), std::vector<uint8_t>(100));
  // The image up to its data area: the root directory cannot be read.
  std::vector<uint8_t> cut = ReadFileBytes(volume_.path());
  cut.resize(512 * (LoadLe16(cut, 14) + cut[16] * LoadLe32(cut, 36)));
  testing::WriteFileBytes(dir_.File("cut.img"), cut);

  const std::string not_a_volume = ", not an image file or block device";
  const std::string missing_image = "(" + dir_.File("missing.img") + ": No such file or directory)\n";
  const struct {
    std::vector<std::string> args;  // after --drive C:=IMAGE
    std::string message;  // a box shows its caption, or the program's name when it has none
  } cases[] = {
      {{"undelete", "C:\\DOCS\\NONE.TXT"}, "quorvane-cli: File not found !\n"},
      {{"undelete", "D:\\X.TXT"}, "quorvane-cli: CreateFile () Failed ! (no image or device is mapped to this drive)\n"
                                 "Error reading boot sector !\n"},
      // The system's message, then the reason.
      {{"--drive", "D:=" + dir_.File("missing.img"), "undelete", "D:\\X.TXT"},
       "quorvane-cli: CreateFile () Failed ! " + missing_image},
      {{"--drive", "D:=" + dir_.File("missing.img"), "search", "D:\\X.TXT"},
       "quorvane-cli: CreateFile () Failed ! " + missing_image},
      {{"undelete", ""}, "Quorvane: Please give/select a file to undelete \n"},
      {{"undelete", "DOCS\\REPORT.TXT"}, "'DOCS\\REPORT.TXT' names no file: a path is a drive letter"},
      {{"undelete", "C:NOSUCHDIR\\GONE.TXT"}, "'C:NOSUCHDIR\\GONE.TXT' names no file"},
      {{"undelete", "C:/DOCS/REPORT.TXT"}, "'C:/DOCS/REPORT.TXT' names no file"},
      {{"--drive", "A:=" + volume_.path(), "undelete", "A:\\GONE.TXT"},
       "Quorvane: Undeletion from fat-32 partitions only\n"},
      {{"--drive", "D:=" + fifo, "undelete", "D:\\GONE.TXT"}, fifo + ": a FIFO" + not_a_volume},
      {{"--drive", "D:=" + dir_.str(), "undelete", "D:\\GONE.TXT"}, ": a directory" + not_a_volume},
      {{"--drive", "D:=/dev/zero", "undelete", "D:\\GONE.TXT"}, "a character device" + not_a_volume},
      {{"--drive", "D:=" + socket_path, "undelete", "D:\\GONE.TXT"}, "a socket" + not_a_volume},
      {{"search", "C:DOCS"}, "'C:DOCS' names no directory: a path is a drive letter"},
      {{"search", "C:/DOCS"}, "'C:/DOCS' names no directory: a path is a drive letter"},
      {{"search", "DOCS"}, "'DOCS' names no directory"},
      {{"search", "C:\\NOSUCH"}, "'C:\\NOSUCH' names no directory on C:"},
      {{"--drive", "A:=" + volume_.path(), "search", "A:\\"},
       "drive A: is never read: Undeletion from fat-32 partitions only"},
      {{"search", "E:"}, "quorvane-cli: CreateFile () Failed ! (no image or device is mapped to this drive)\n"
                         "quorvane-cli: the boot sector of E: cannot be read\n"},
      {{"--drive", "D:=" + fifo, "search", "D:"}, fifo + ": a FIFO" + not_a_volume},
      {{"--drive", "D:=" + dir_.File("zeros.img"), "search", "D:"}, "D: holds no FAT12, FAT16, FAT32 or exFAT volume"},
      {{"--drive", "D:=" + dir_.File("short.img"), "search", "D:"}, "the boot sector of D: cannot be read\n"},
      {{"--drive", "D:=" + dir_.File("cut.img"), "search", "D:"}, "'D:': a directory on the way cannot be read"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--drive", "C:=" + volume_.path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = RunCli(args, CommandOptions{out_.str()});
    EXPECT_EQ(run.status, 1) << c.args.back() << "\n" << run.output;
    EXPECT_THAT(run.output, HasSubstr(c.message)) << c.args.back();
  }
  ::close(listener);
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

TEST_F(CliUndelete, TheImageBeingReadIsNeverTheOutputAndTakenNamesAreSaid) {
  // The image itself lies in the output directory under the recovered name.
  const std::string image = out_.File("REPORT.TXT");
  std::filesystem::copy_file(volume_.path(), image);
  UnchangedGuard image_unchanged(image);
  for (const char* written : {"REPORT (2).TXT", "REPORT (3).TXT"}) {
    auto run = RunCli({"--drive", "C:=" + image, "undelete", "-o", out_.str(), "C:\\DOCS\\REPORT.TXT"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr(std::string("File Undeleted !\nSaved as ") + written + "\n"));
    EXPECT_EQ(ReadFileBytes(out_.File(written)), PatternBytes(5000, 1));
  }
}

TEST_F(CliUndelete, ListedPathsPassAsRawBytesTerminalTextOrHexIntoTheCurrentDirectory) {
  const std::vector<std::string> paths[] = {
      {"C:\\DOCS\\\xE5" "EPORT  .TXT"},
      {"C:\\DOCS\\\xC3\xA5" "EPORT  .TXT"},  // as a UTF-8 terminal shows the deleted mark
      {"--hex", "433a5c444f43535c" "e5" "45504f525420202e545854"},
      {"--hex", "433A5C444F43535C" "E5" "45504F525420202E545854"},
  };
  for (const auto& path : paths) {
    TempDir out;
    std::vector<std::string> args = {"--drive=c:=" + volume_.path(), "undelete"};
    args.insert(args.end(), path.begin(), path.end());
    auto run = RunCli(args, CommandOptions{out.str()});
    EXPECT_EQ(run.status, 0) << path.back() << "\n" << run.output;
    EXPECT_EQ(ReadFileBytes(out.File("XEPORT  .TXT")), PatternBytes(5000, 1)) << path.back();
  }
  for (const char* bad_hex : {"433", "43zz", ""}) {
    auto run = RunCli({volume_.path(), "undelete", "-o", out_.str(), "--hex", bad_hex});
    EXPECT_EQ(run.status, bad_hex[0] ? 2 : 1) << bad_hex;
  }
}

TEST_F(CliUndelete, HelpVersionBadArgumentsAndTheDriveTable) {
  CommandOptions stdout_only;
  stdout_only.stdout_only = true;
  for (const std::vector<std::string>& help : {std::vector<std::string>{"--help"}, {"-h"},
                                               {"--drive", "C:=x.img", "search", "--help"}}) {
    auto run = RunCli(help, stdout_only);
    EXPECT_EQ(run.status, 0) << help.back();
    EXPECT_THAT(run.output, HasSubstr("usage: quorvane-cli [--quiet] [--drive L:=PATH | PATH]... COMMAND\n"));
  }
  auto version = RunCli({"--version"}, stdout_only);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "quorvane-cli 1.0\n");
  auto wrong = RunCli({"--drive", "C=oops", "drives"}, stdout_only);
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.output, "");  // the usage goes to standard error

  EXPECT_EQ(RunCli({volume_.path(), "undelete"}).status, 2);
  // --entry takes SIZE:CLUSTER, and a path after it.
  for (const char* entry : {"600", "600:", ":3", "6o0:3", "600:3x", "600:99999999999"})
    EXPECT_EQ(RunCli({volume_.path(), "undelete", "--entry", entry, "C:\\A.TXT"}).status, 2) << entry;
  EXPECT_EQ(RunCli({volume_.path(), "undelete", "C:\\A.TXT", "--entry", "600:3"}).status, 2);
  EXPECT_EQ(RunCli({volume_.path(), "undelete", "-o", dir_.File("no-such-dir"), "C:\\A.TXT"}).status,
            1);

  auto table = RunCli({"--drive", "E:=" + volume_.path(), volume_.path(), "drives"});
  EXPECT_EQ(table.status, 0);
  // "C: PATH" first, then what the boot sector tells (mkfs.fat's "NO NAME" is no label).
  EXPECT_EQ(table.output, "C: " + volume_.path() + " FAT32 33.0 MiB\nE: " + volume_.path() + " FAT32 33.0 MiB\n");
}

// Unmounts a mount made by a test, whatever the test's outcome.
struct MountedImage {
  MountedImage(const std::string& image, const std::string& point, const char* mode)
      : point(point), ok(testing::RunCommand({"mount", "-o", std::string("loop,") + mode, image, point}).status == 0) {}
  ~MountedImage() {
    if (ok) testing::RunCommand({"umount", point});
  }
  std::string point;
  bool ok;
};

TEST_F(CliUndelete, SearchOfAHostDirectoryReadsTheDriveMountedThere) {
  for (const auto& [directory, message] :
       {std::pair{dir_.str(), "'" + dir_.str() + "' lies on no mounted volume of the drive table"},
        {".", "'.' lies on no mounted volume of the drive table"},
        {dir_.File("none"), dir_.File("none") + ": No such file or directory"}}) {
    auto run = RunCli({volume_.path(), "search", directory}, CommandOptions{dir_.str()});
    EXPECT_EQ(run.status, 1) << directory;
    EXPECT_THAT(run.output, HasSubstr(message)) << directory;
  }

  // The file system holding the test's directory, named by its block device
  // (found without reading it): the directory maps to that drive's path, the
  // table shows the mount, and a read-write mount is warned of. The volume
  // is no FAT32 one (or cannot be opened), so nothing is listed.
  if (const std::string device = testing::BlockDeviceHolding(dir_.path()); !device.empty()) {
    std::filesystem::create_directory(dir_.File("sub"));
    auto mapped = RunCli({"--drive", "C:=" + device, "search", dir_.File("sub")});
    EXPECT_EQ(mapped.status, 1);
    EXPECT_THAT(mapped.output, HasSubstr("'" + dir_.File("sub") + "' (C:\\"));
    // Whether the device may be opened here or not, the drive path is named.
    EXPECT_THAT(mapped.output, HasSubstr("\\sub) "));
    const std::string table = RunCli({"--drive", "C:=" + device, "drives"}).output;
    // Whether the device may be opened here or not, the line names it and its mount.
    EXPECT_THAT(table, StartsWith("C: " + device + " "));
    EXPECT_THAT(table, HasSubstr(" (mounted on "));
    const bool read_write = table.find(", read-write") != std::string::npos;
    auto warned = RunCli({"--drive", "C:=" + device, "undelete", "-o", out_.str(), "C:\\X.TXT"});
    EXPECT_EQ(warned.output.find("quorvane-cli: warning: C: is mounted read-write on ") == 0, read_write)
        << warned.output;
  }

  // Mounted through a loop device: needs root and the kernel's vfat driver.
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  std::filesystem::create_directory(dir_.File("card"));
  MountedImage mounted(volume_.path(), dir_.File("card"), "ro");
  if (!mounted.ok) GTEST_SKIP() << "this machine cannot mount a FAT32 image (no vfat driver?)";
  auto search = RunCli({volume_.path(), "search", dir_.File("card") + "/DOCS/"});
  EXPECT_EQ(search.status, 0) << search.output;
  EXPECT_EQ(search.output, "C:\\DOCS\\\xE5" "EPORT  .TXT\t5000\n");  // no warning: mounted read-only
  EXPECT_EQ(RunCli({volume_.path(), "drives"}).output,
            "C: " + volume_.path() + " FAT32 33.0 MiB (mounted on " + dir_.File("card") + ", read-only)\n");

  // A read-write mount (of a copy: the kernel marks what it mounts) is warned of.
  std::filesystem::copy_file(volume_.path(), dir_.File("copy.img"));
  std::filesystem::create_directory(dir_.File("copy"));
  MountedImage writable(dir_.File("copy.img"), dir_.File("copy"), "rw");
  ASSERT_TRUE(writable.ok);
  auto warned = RunCli({dir_.File("copy.img"), "undelete", "-o", out_.str(), "C:\\DOCS\\REPORT.TXT"});
  EXPECT_EQ(warned.status, 0) << warned.output;
  EXPECT_THAT(warned.output, HasSubstr("quorvane-cli: warning: C: is mounted read-write on " + dir_.File("copy") +
                                       ": writes by the running system can overwrite deleted files; "
                                       "unmount it or mount it read-only first\n"));
}

// A read-only loop device over an image, detached whatever the test's outcome.
struct LoopDevice {
  explicit LoopDevice(const std::string& image) {
    auto attached = testing::RunCommand({"losetup", "-r", "-f", "--show", image});
    if (attached.status == 0 && attached.output.starts_with("/dev/"))
      device = attached.output.substr(0, attached.output.find('\n'));
  }
  ~LoopDevice() {
    if (!device.empty()) testing::RunCommand({"losetup", "-d", device});
  }
  std::string device;
};

TEST_F(CliUndelete, UndeleteOfAHostPathRecoversTheFileFromTheDriveMountedThere) {
  // The test's directory lies on no drive's volume: refused with a reason,
  // never looked for on some drive.
  std::filesystem::create_directory(dir_.File("sub"));
  for (const auto& path : {dir_.File("GONE.TXT"), std::string("sub/GONE.TXT")}) {
    auto run = RunCli({volume_.path(), "undelete", "-o", out_.str(), path}, CommandOptions{dir_.str()});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_EQ(run.output, "quorvane-cli: '" + path + "' lies on no mounted volume of the drive table; "
                          "give a drive path (C:\\DOCS\\REPORT.TXT)\n") << path;
  }

  // The image mounted on `card` through a loop device, as the kernel's mount
  // table would show it; the host directories under `card` stand for the
  // volume's live directories, as a mount shows them.
  if (::geteuid() != 0) GTEST_SKIP() << "a loop device and a mount namespace need root";
  LoopDevice loop(volume_.path());
  if (loop.device.empty()) GTEST_SKIP() << "no loop device";
  struct stat st {};
  ASSERT_EQ(::stat(loop.device.c_str(), &st), 0);
  for (const char* directory : {"card", "card/DOCS", "card/My Photos", "card/EXTRA", "elsewhere"})
    std::filesystem::create_directory(dir_.File(directory));
  const std::string card = std::filesystem::canonical(dir_.File("card")).string();
  const auto mount_table = [&](const char* mode) {
    return "21 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
           "90 21 " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) +
           " / " + card + " " + mode + ",relatime - vfat " + loop.device + " " + mode + ",fmask=0022\n";
  };
  if (RunCliWithMountTable(mount_table("ro"), {"--version"}).status != 0)
    GTEST_SKIP() << "no mount namespace here (unshare -m)";

  // The search lists the file the host path below names, through the same mapping.
  auto listed = RunCliWithMountTable(mount_table("ro"), {volume_.path(), "search", card + "/DOCS"});
  EXPECT_EQ(listed.status, 0) << listed.output;
  EXPECT_EQ(listed.output, "C:\\DOCS\\\xE5" "EPORT  .TXT\t5000\n");

  const struct {
    std::vector<std::string> args;  // after undelete -o OUT
    std::string written;            // the recovered file's name
    std::vector<uint8_t> bytes;
  } recovered[] = {
      {{card + "/DOCS/?EPORT.TXT"}, "?EPORT.TXT", PatternBytes(5000, 1)},
      {{card + "/DOCS/REPORT.TXT"}, "REPORT.TXT", PatternBytes(5000, 1)},
      {{card + "/DOCS/\xC3\xA5" "EPORT  .TXT"}, "XEPORT  .TXT", PatternBytes(5000, 1)},  // as a terminal lists it
      {{card + "/DOCS/\xE5" "EPORT  .TXT"}, "XEPORT  .TXT", PatternBytes(5000, 1)},      // as a pipe gets it
      {{"card/DOCS/REPORT.TXT"}, "REPORT.TXT", PatternBytes(5000, 1)},  // relative to the current directory
      {{card + "/GONE.TXT"}, "GONE.TXT", PatternBytes(10, 2)},          // in the root directory
      {{"--long-names", card + "/My Photos/holiday PICTURE.jpeg"}, "Holiday picture.jpeg", PatternBytes(3000, 3)},
  };
  for (const auto& [args, written, bytes] : recovered) {
    TempDir out;
    std::vector<std::string> command = {volume_.path(), "undelete", "-o", out.str()};
    command.insert(command.end(), args.begin(), args.end());
    auto run = RunCliWithMountTable(mount_table("ro"), command, CommandOptions{dir_.str()});
    EXPECT_EQ(run.status, 0) << args.back() << "\n" << run.output;
    EXPECT_THAT(run.output, Not(HasSubstr("warning"))) << args.back();
    EXPECT_EQ(ReadFileBytes(out.File(written)), bytes) << args.back();
  }

  const std::pair<std::string, std::string> refused[] = {
      {dir_.File("elsewhere") + "/GONE.TXT",
       "quorvane-cli: '" + dir_.File("elsewhere") + "/GONE.TXT' lies on no mounted volume of the drive table"},
      {card + "/NODIR/GONE.TXT", "quorvane-cli: " + card + "/NODIR/: No such file or directory\n"},
      {card + "/EXTRA/GONE.TXT", "(C:\\EXTRA\\GONE.TXT) lies in no directory on its volume\n"},
      {card + "/DOCS/NONE.TXT", "quorvane-cli: File not found !\n"},
  };
  for (const auto& [path, message] : refused) {
    auto run = RunCliWithMountTable(mount_table("ro"), {volume_.path(), "undelete", "-o", out_.str(), path});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_THAT(run.output, HasSubstr(message)) << path;
  }
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));

  // Mounted read-write: recovered all the same, with the warning first.
  auto warned = RunCliWithMountTable(mount_table("rw"),
                                     {volume_.path(), "undelete", "-o", out_.str(), card + "/GONE.TXT"});
  EXPECT_EQ(warned.status, 0) << warned.output;
  EXPECT_TRUE(warned.output.starts_with("quorvane-cli: warning: C: is mounted read-write on " + card + ": "))
      << warned.output;
  EXPECT_EQ(ReadFileBytes(out_.File("GONE.TXT")), PatternBytes(10, 2));
}

}  // namespace
}  // namespace quorvane
