// The drive table built from program arguments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "volume/drive_table.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Pair;
using ::testing::ElementsAre;

TEST(DriveNumber, IsTheUpperCaseLetterMinus64) {
  EXPECT_EQ(DriveNumber('A'), 1);
  EXPECT_EQ(DriveNumber('c'), 3);
  EXPECT_EQ(DriveNumber('Z'), 26);
}

TEST(DriveTable, NamedDrivesAndBarePathsFromC) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(table.ParseArguments(
      {"/img/first.img", "--drive", "f:=/dev/sdb1", "/img/second.img", "--drive=D:=/img/a=b"},
      error))
      << error;
  EXPECT_THAT(table.entries(), ElementsAre(Pair(3, "/img/first.img"), Pair(4, "/img/a=b"),
                                           Pair(5, "/img/second.img"), Pair(6, "/dev/sdb1")));
  EXPECT_EQ(table.PathOf(6), "/dev/sdb1");
  EXPECT_EQ(table.PathOf(7), "");
  EXPECT_EQ(table.Describe(), "C: /img/first.img\nD: /img/a=b\nE: /img/second.img\nF: /dev/sdb1\n");
}

TEST(DriveTable, ANamedLetterIsNotTakenByABarePathGivenBeforeIt) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(table.ParseArguments({"/bare.img", "--drive", "C:=/named.img"}, error)) << error;
  EXPECT_THAT(table.entries(), ElementsAre(Pair(3, "/named.img"), Pair(4, "/bare.img")));
}

TEST(DriveTable, RefusesMalformedArguments) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--drive"}, "--drive needs L:=PATH"},
      {{"--drive", "C:"}, "expected L:=PATH"},
      {{"--drive", "C:="}, "expected L:=PATH"},
      {{"--drive", "CC=x"}, "expected L:=PATH"},
      {{"--drive", "1:=x"}, "expected L:=PATH"},
      {{"--drive=C=x"}, "expected L:=PATH"},
      {{"--verbose"}, "unknown option '--verbose'"},
      {{"-"}, "unknown option '-'"},
      {{"--drive", "C:=a.img", "--drive", "c:=b.img"}, "drive C: is given twice"},
  };
  for (const auto& [args, message] : cases) {
    DriveTable table;
    std::string error;
    EXPECT_FALSE(table.ParseArguments(args, error)) << args[0];
    EXPECT_THAT(error, HasSubstr(message)) << args[0];
  }
}

TEST(DriveTable, RelativePathsAreKeptAbsolute) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(table.ParseArguments({"rel.img", "--drive", "G:=sub/x.img"}, error)) << error;
  EXPECT_EQ(table.PathOf(3), (std::filesystem::current_path() / "rel.img").string());
  EXPECT_EQ(table.PathOf(7), (std::filesystem::current_path() / "sub/x.img").string());
}

TEST(DriveTable, BarePathsRunOutAfterZ) {
  DriveTable table;
  std::vector<std::string> args;
  for (int i = 0; i < 24; ++i) args.push_back("/disk" + std::to_string(i) + ".img");
  std::string error;
  ASSERT_TRUE(table.ParseArguments(args, error)) << error;
  EXPECT_EQ(table.PathOf(26), "/disk23.img");
  EXPECT_FALSE(table.PathOf(1).size() || table.PathOf(2).size());  // A: and B: stay free
  EXPECT_FALSE(table.ParseArguments({"one-more.img"}, error));
  EXPECT_THAT(error, HasSubstr("no free drive letter for 'one-more.img'"));
  EXPECT_FALSE(table.Map('1', "x"));
  EXPECT_FALSE(table.Map('C', ""));
}

}  // namespace
}  // namespace quorvane
