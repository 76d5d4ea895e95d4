// exFAT names past ASCII: written by exfat-fuse, read back as UTF-8, and
// matched to typed path components without regard to case through the
// volume's up-case table and through the fallback.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/exfat_volume.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_names.h"
#include "volume/format/exfat_upcase_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

TEST(ExFatNames, RealNamesPastAsciiReadBackAndMatchTypedComponents) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  const std::vector<std::string> names = {"Café", "日記.txt", "ÆSIR.doc", "Ωmega", "Straße", "emoji 😀.txt"};
  ExFatVolume(dir.File("exfat.img"), {.mib = 16, .cluster_bytes = 4096, .sector_bytes = 512, .label = {}})
      .Change([&](const fs::path& root) {
        for (const auto& name : names) WriteFileBytes(root / name, PatternBytes(10, 1));
      });
  const ExFatListing listing = ListExFatVolume(dir.File("exfat.img"));
  ASSERT_TRUE(listing.upcase);
  for (const auto& name : names) EXPECT_NE(listing.Find(name), nullptr) << name;
  EXPECT_EQ(listing.Find("emoji 😀.txt")->set.name.size(), 12u) << "a surrogate pair on the volume";

  const struct {
    std::string typed;
    std::string name;  // as listed
    bool same;
  } cases[] = {
      {"CAFÉ", "Café", true},
      {"Caf\xE9", "Café", true},  // Latin-1, as a widget's text gives it
      {"CAF\xC9", "Café", true},
      {"cafe", "Café", false},
      {"Café ", "Café", false},
      {"日記.TXT", "日記.txt", true},
      {"日记.txt", "日記.txt", false},
      {"æsir.DOC", "ÆSIR.doc", true},
      {"ωMEGA", "Ωmega", true},
      {"STRASSE", "Straße", false},  // no one-to-many folding
      {"STRAßE", "Straße", true},
      {"EMOJI 😀.TXT", "emoji 😀.txt", true},
  };
  for (const auto& c : cases) {
    const ExFatListed* file = listing.Find(c.name);
    ASSERT_NE(file, nullptr) << c.name;
    EXPECT_EQ(ExFatNameMatches(c.typed, file->set.name, *listing.upcase), c.same) << c.typed << " / " << c.name;
    EXPECT_EQ(ExFatNameMatches(c.typed, file->set.name, ExFatUpcaseTable::Fallback()), c.same)
        << c.typed << " / " << c.name << " (fallback)";
  }
  // The fallback folds the letters of ASCII and Latin-1 as the volume's table does.
  for (char16_t unit = 0; unit < 0x100; ++unit)
    EXPECT_EQ(ExFatUpcaseTable::Fallback().Upcase(unit), listing.upcase->Upcase(unit)) << int(unit);
}

TEST(ExFatNames, Utf16ToUtf8AndTypedComponents) {
  const struct {
    std::u16string units;
    std::string utf8;
  } shown[] = {
      {u"Café", "Café"},
      {u"日記.txt", "日記.txt"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::u16string{0xD83D, u'x'}, "\xEF\xBF\xBDx"},  // a high surrogate alone
      {std::u16string{u'x', 0xDE00}, "x\xEF\xBF\xBD"},  // a low one alone
      {std::u16string{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the pair the wrong way round
      {std::u16string{0xD83D}, "\xEF\xBF\xBD"},
      {std::u16string{0xFFFF}, "\xEF\xBF\xBF"},
  };
  for (const auto& c : shown) EXPECT_EQ(Utf16ToUtf8(c.units), c.utf8) << c.utf8;

  const struct {
    std::string typed;
    std::u16string units;
  } typed[] = {
      {"Café", u"Café"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"Caf\xE9", u"Café"},                                       // not UTF-8: Latin-1
      {"\xC0\xAF", std::u16string{0xC0, 0xAF}},                   // overlong
      {"\xED\xA0\x80", std::u16string{0xED, 0xA0, 0x80}},         // an encoded surrogate
      {"\xF4\x90\x80\x80", std::u16string{0xF4, 0x90, 0x80, 0x80}},  // past U+10FFFF
      {"\xE6\x97", std::u16string{0xE6, 0x97}},                   // cut short
  };
  for (const auto& c : typed) EXPECT_EQ(TypedComponentToUtf16(c.typed), c.units) << c.typed;
}

TEST(ExFatUpcaseTable, StoredTablesAreCheckedAndDecompressed) {
  // 'a' to 'c' up-cased, then a run of 10 identities, then one mapping.
  std::vector<uint16_t> units(0x61, 0);
  for (uint16_t i = 0; i < 0x61; ++i) units[i] = i;
  units.insert(units.end(), {u'A', u'B', u'C', 0xFFFF, 10, 0x1234});
  const auto bytes = [](const std::vector<uint16_t>& u) {
    std::vector<uint8_t> b(u.size() * 2);
    for (size_t i = 0; i < u.size(); ++i) StoreLe16(b, i * 2, u[i]);
    return b;
  };
  const std::vector<uint8_t> stored = bytes(units);
  const auto table = ExFatUpcaseTable::FromStored(stored, ExFatTableChecksum(stored));
  ASSERT_TRUE(table);
  EXPECT_EQ(table->Upcase(u'b'), u'B');
  EXPECT_EQ(table->Upcase(u'd'), u'd');
  EXPECT_EQ(table->Upcase(0x6D), 0x6D);
  EXPECT_EQ(table->Upcase(0x6E), 0x1234);
  EXPECT_EQ(table->Upcase(0x6F), 0x6F);  // past the table

  EXPECT_FALSE(ExFatUpcaseTable::FromStored(stored, ExFatTableChecksum(stored) + 1)) << "checksum";
  std::vector<uint8_t> odd = stored;
  odd.push_back(0);
  EXPECT_FALSE(ExFatUpcaseTable::FromStored(odd, ExFatTableChecksum(odd))) << "odd length";
  std::vector<uint16_t> overlong = units;
  overlong.insert(overlong.end(), {0xFFFF, 0xFFFF});  // a run past the 65,536 units
  EXPECT_FALSE(ExFatUpcaseTable::FromStored(bytes(overlong), ExFatTableChecksum(bytes(overlong))));
}

}  // namespace
}  // namespace quorvane::testing
