// Long names of deleted entries and the short name's lost first letter, on
// a real mtools volume deleted with mdel, and on parts that do not belong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "support/crafted_volume.h"
#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_chain.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"
#include "volume/format/long_name.h"

namespace quorvane {
namespace {

struct Seen {
  std::string shortName;  // the stored 11 bytes
  std::optional<DeletedLongNameCollector::Found> found;
};

// Every short entry of the root directory, in order, with what the
// collector makes of the parts before it.
std::vector<Seen> ReadRoot(const std::string& image) {
  DriveTable drives;
  drives.Map('C', image);
  SectorReader reader(drives);
  const auto params = FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
  VolumeView view(reader, *params);
  DeletedLongNameCollector collector;
  std::vector<Seen> seen;
  for (DirectoryChain chain(view, static_cast<uint32_t>(params->m_nRootCluster)); chain.AtCluster();) {
    const auto bytes = chain.Read();
    for (size_t i = 0; bytes && i < EntriesIn(**bytes); ++i) {
      const auto raw = EntryBytes(**bytes, i);
      const DirEntry entry = DirEntry::Parse(raw);
      if (entry.IsEnd()) return seen;
      if (entry.IsLongNamePart()) {
        collector.AddPart(raw);
        continue;
      }
      seen.push_back({std::string(entry.NameBytes()) + std::string(entry.ExtBytes()), collector.TakeFor(entry)});
    }
    if (chain.Advance() != DirectoryChain::Step::kNext) break;
  }
  return seen;
}

TEST(DeletedLongNames, EveryDeletedChainGivesItsNameAndTheLostLetterComesBack) {
  testing::TempDir dir;
  testing::MtoolsVolume volume(dir.File("names.img"));
  const std::vector<std::string> names = {
      "Letter to the bank.docx", "IMG_20240611_142233.jpg",
      "Thirteen char",                                      // one part, no end mark
      "A name of exactly twenty-six",                       // two parts, padded
      "quarterly report for the board, final version.pdf",  // four parts
      "+plus sign first.txt",                               // first byte not its letter
  };
  for (const std::string& name : names) volume.AddFile("/" + name, std::string("x"));
  // 8.3 names (in lower case: kept in the case bits) have no long name.
  volume.AddFile("/SHORT.TXT", std::string("x")).AddFile("/notes.txt", std::string("x"));
  // The short names as stored, before the deletes take their first byte.
  std::map<std::string, std::string> short_of;  // tail (bytes 1..10) -> whole
  for (const Seen& s : ReadRoot(volume.path())) short_of[s.shortName.substr(1)] = s.shortName;
  for (const std::string& name : names) volume.Delete("/" + name);
  volume.Delete("/SHORT.TXT").Delete("/notes.txt");

  std::vector<std::u16string> long_names;
  for (const Seen& s : ReadRoot(volume.path())) {
    ASSERT_EQ(static_cast<uint8_t>(s.shortName[0]), kDeletedMark) << s.shortName;
    if (s.shortName.substr(1) == "HORT   TXT" || s.shortName.substr(1) == "OTES   TXT") {
      EXPECT_FALSE(s.found);  // no long name, no checksum to restore from
      continue;
    }
    ASSERT_TRUE(s.found) << s.shortName;
    long_names.push_back(s.found->longName);
    ASSERT_TRUE(s.found->firstByte) << s.shortName;
    EXPECT_EQ(static_cast<char>(*s.found->firstByte), short_of[s.shortName.substr(1)][0]) << s.shortName;
  }
  std::vector<std::u16string> expected;
  for (const std::string& name : names) expected.emplace_back(name.begin(), name.end());
  EXPECT_EQ(long_names, expected);
}

// One deleted long-name part holding `text` (up to 13 characters) with the
// checksum of the short name `name11`.
std::array<uint8_t, 32> DeletedPart(std::u16string_view text, const char* name11) {
  constexpr size_t kOffsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::array<uint8_t, 32> part{};
  part[0] = kDeletedMark;
  part[11] = kAttrLongName;
  for (size_t i = 0; i < 13; ++i)
    StoreLe16(part, kOffsets[i], i < text.size() ? text[i] : i == text.size() ? 0 : 0xFFFF);
  std::array<uint8_t, 11> name;
  std::copy_n(reinterpret_cast<const uint8_t*>(name11), 11, name.begin());
  part[13] = ShortNameChecksum(name);
  return part;
}

TEST(DeletedLongNames, PartsThatDoNotBelongGiveNoName) {
  std::array<uint8_t, 32> raw{};
  const std::string stored = "\xE5" "BC        ";
  std::copy(stored.begin(), stored.end(), raw.begin());
  const DirEntry deleted = DirEntry::Parse(raw);
  const auto belongs = DeletedPart(u"abc", "ABC        ");

  const struct {
    const char* what;
    std::vector<std::array<uint8_t, 32>> parts;
    bool named;
  } cases[] = {
      {"its own part", {belongs}, true},
      {"a live part", {[&] { auto p = belongs; p[0] = 0x41; return p; }()}, false},
      {"a part with a first cluster", {[&] { auto p = belongs; StoreLe16(p, 26, 7); return p; }()}, false},
      {"a part of another name before its own", {DeletedPart(u"other", "OTHER      "), belongs}, true},
      {"its part, then one of another name", {belongs, DeletedPart(u"other", "OTHER      ")}, false},
      {"a part that ends the name, then more", {belongs, belongs}, false},
  };
  for (const auto& c : cases) {
    DeletedLongNameCollector collector;
    for (const auto& part : c.parts) collector.AddPart(part);
    const auto found = collector.TakeFor(deleted);
    ASSERT_EQ(found.has_value(), c.named) << c.what;
    if (found) {
      EXPECT_EQ(found->longName, u"abc") << c.what;
      EXPECT_EQ(found->firstByte, uint8_t{'A'}) << c.what;
    }
  }
}

}  // namespace
}  // namespace quorvane
