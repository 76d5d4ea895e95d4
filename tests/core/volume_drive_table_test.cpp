// The drive table built from program arguments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "volume/drive_table.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

TEST(DriveTable, NamedLettersAndBarePathsTakingTheNextFreeLetterFromC) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(table.ParseArguments({"/img/first.img", "--drive", "f:=/dev/sdb1", "/img/second.img",
                                    "--drive=C:=/img/a=b"},
                                   error))
      << error;
  EXPECT_THAT(table.entries(), ElementsAre(Pair(3, "/img/a=b"), Pair(4, "/img/first.img"),
                                           Pair(5, "/img/second.img"), Pair(6, "/dev/sdb1")));
  EXPECT_EQ(table.PathOf(7), "");
}

TEST(DriveTable, RefusesMalformedArguments) {
  std::vector<std::string> many;
  for (int i = 0; i < 25; ++i) many.push_back("/disk" + std::to_string(i) + ".img");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--drive"}, "--drive needs L:=PATH"},
      {{"--drive", "C:="}, "expected L:=PATH"},
      {{"--drive", "CC=x"}, "expected L:=PATH"},
      {{"--drive", "1:=x"}, "expected L:=PATH"},
      {{"--verbose"}, "unknown option '--verbose'"},
      {{"--drive", "C:=a.img", "--drive", "c:=b.img"}, "drive C: is given twice"},
      {many, "no free drive letter for '/disk24.img'"},
  };
  for (const auto& [args, message] : cases) {
    DriveTable table;
    std::string error;
    EXPECT_FALSE(table.ParseArguments(args, error)) << args[0];
    EXPECT_THAT(error, HasSubstr(message)) << args[0];
  }
}

}  // namespace
}  // namespace quorvane
