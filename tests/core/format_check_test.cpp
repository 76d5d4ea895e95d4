// The format checks that tell a file's next cluster from a stranger's: real
// files cut at cluster boundaries, fed whole, fed with one cluster swapped
// for another file's, random bytes, zeros or text, and offered as one of
// several candidates for the next cluster.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>

#include "recovery/format_check.h"
#include "support/format_samples.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::DrawPicture;

struct Sample {
  std::string name;
  std::string extension;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> other;  // another file of the same format
  // Whether the whole file is judged at every cluster size tried (else the
  // true sequence may end kUnchecked).
  bool fully_judged;
};

std::vector<uint8_t> SystemFile(const char* path) {
  return std::filesystem::exists(path) ? testing::ReadFileBytes(path) : std::vector<uint8_t>{};
}

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = [] {
    std::vector<Sample> s;
    const std::vector<std::string> chroma_halved = {"-sampling-factor", "2x2", "-quality", "75"};
    s.push_back({"jpeg", "JPG", DrawPicture("jpg", 320, 240, 1), DrawPicture("jpg", 320, 240, 2), true});
    s.push_back({"jpeg 4:2:0", "JPG", DrawPicture("jpg", 300, 200, 3, chroma_halved),
                 DrawPicture("jpg", 300, 200, 4, chroma_halved), true});
    s.push_back({"jpeg grey", "JPG", DrawPicture("jpg", 256, 256, 5, {"-colorspace", "Gray"}),
                 DrawPicture("jpg", 256, 256, 6, {"-colorspace", "Gray"}), true});
    s.push_back({"jpeg progressive", "JPG", DrawPicture("jpg", 320, 240, 7, {"-interlace", "Plane"}),
                 DrawPicture("jpg", 320, 240, 8, {"-interlace", "Plane"}), false});
    s.push_back({"png", "PNG", DrawPicture("png", 200, 150, 9), DrawPicture("png", 200, 150, 10), true});
    s.push_back({"docx", "DOCX", testing::WriteDocx(400), testing::WriteDocx(300), false});
    s.push_back({"zip streamed", "ZIP", testing::WriteStreamedZip(3, 9000, 11),
                 testing::WriteStreamedZip(4, 7000, 12), false});
    s.push_back({"pdf", "PDF", testing::WritePdf(300), testing::WritePdf(200), false});
    s.push_back({"pdf 1.5", "PDF", testing::WriteCompressedPdf(2000), testing::WriteCompressedPdf(1500), true});
    // A PDF another writer made, where the machine has one; another PDF's
    // clusters are ours.
    const auto tasn1 = SystemFile("/usr/share/doc/libtasn1-doc/libtasn1.pdf");
    if (!tasn1.empty())
      s.push_back({"pdf (system)", "PDF", tasn1, testing::WriteCompressedPdf(1500), false});
    s.push_back({"mp4", "MP4", testing::WriteMp4(120000, false, 13), testing::WriteMp4(90000, true, 14), false});
    s.push_back({"mp4 moov first", "MP4", testing::WriteMp4(120000, true, 15), testing::WriteMp4(90000, false, 16),
                 false});
    return s;
  }();
  return samples;
}

std::span<const uint8_t> Cluster(const std::vector<uint8_t>& bytes, size_t index, size_t cluster_size) {
  const size_t at = index * cluster_size;
  return std::span(bytes).subspan(at, std::min(cluster_size, bytes.size() - at));
}

size_t ClusterCount(size_t size, size_t cluster_size) { return (size + cluster_size - 1) / cluster_size; }

TEST(FormatCheck, EachFileReadInOrderContinuesAndChecksOut) {
  for (const Sample& sample : Samples()) {
    for (const size_t cluster_size : {512u, 4096u, 65536u}) {
      SCOPED_TRACE(sample.name + " in clusters of " + std::to_string(cluster_size));
      FormatCheck check(sample.extension, sample.bytes, sample.bytes.size());
      ASSERT_TRUE(check.Judges());
      size_t continued = 0;
      for (size_t i = 0; i < ClusterCount(sample.bytes.size(), cluster_size); ++i) {
        // The last cluster's slack beyond the size is another file's.
        std::vector<uint8_t> cluster(cluster_size, 0x5A);
        const auto bytes = Cluster(sample.bytes, i, cluster_size);
        std::copy(bytes.begin(), bytes.end(), cluster.begin());
        const ClusterVerdict verdict = check.Feed(cluster);
        ASSERT_NE(verdict, ClusterVerdict::kBreaks) << "cluster " << i;
        continued += verdict == ClusterVerdict::kContinues;
      }
      EXPECT_GT(continued, 0u);
      EXPECT_NE(check.Complete(), FormatOutcome::kFailed);
      if (sample.fully_judged) {
        EXPECT_EQ(check.Complete(), FormatOutcome::kVerified);
      }
    }
  }
}

const Sample* SampleNamed(const std::string& name) {
  for (const Sample& sample : Samples())
    if (sample.name == name) return &sample;
  return nullptr;
}

size_t Find(const std::vector<uint8_t>& bytes, std::string_view what, size_t from = 0) {
  const auto at = std::search(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.end(), what.begin(), what.end(),
                              [](uint8_t b, char c) { return b == static_cast<uint8_t>(c); });
  if (at == bytes.end()) throw std::logic_error("not found: " + std::string(what));
  return static_cast<size_t>(at - bytes.begin());
}

// Another digit in place of a digit.
void Retype(uint8_t& digit) { digit = digit == '0' ? '1' : '0'; }

// The whole file fed in clusters of `cluster_size`: kBreaks at a cluster,
// else the outcome.
std::string Verdict(const std::string& extension, const std::vector<uint8_t>& bytes, size_t cluster_size) {
  FormatCheck check(extension, bytes, bytes.size());
  for (size_t i = 0; i < ClusterCount(bytes.size(), cluster_size); ++i)
    if (check.Feed(Cluster(bytes, i, cluster_size)) == ClusterVerdict::kBreaks) return "breaks";
  switch (check.Complete()) {
    case FormatOutcome::kVerified: return "verified";
    case FormatOutcome::kFailed: return "failed";
    case FormatOutcome::kUnchecked: return "unchecked";
  }
  return "";
}

// A 16 x 8 grey JPEG built byte by byte, since no encoder on the machine
// writes restart markers: one code per table (DC difference 0, end of
// block), so each block is the bits 00 padded with ones (0x3F), and a
// restart interval of one MCU. `scan` is the entropy-coded data.
std::vector<uint8_t> RestartJpeg(const std::vector<uint8_t>& scan) {
  std::vector<uint8_t> jpeg = {
      0xFF, 0xD8,                                                              // SOI
      0xFF, 0xC0, 0x00, 0x0B, 8, 0x00, 0x08, 0x00, 0x10, 1, 1, 0x11, 0,        // SOF0: 8 rows, 16 columns
      0xFF, 0xC4, 0x00, 0x14, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,  // DC: "0" = 0
      0xFF, 0xC4, 0x00, 0x14, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,  // AC: "0" = EOB
      0xFF, 0xDD, 0x00, 0x04, 0x00, 0x01,                                      // DRI: one MCU
      0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0,                            // SOS
  };
  jpeg.insert(jpeg.end(), scan.begin(), scan.end());
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  return jpeg;
}

TEST(FormatCheck, RestartMarkersComeInOrderAfterEachInterval) {
  const struct {
    const char* what;
    std::vector<uint8_t> scan;
    const char* verdict;
  } cases[] = {
      {"two MCUs, RST0 between", {0x3F, 0xFF, 0xD0, 0x3F}, "verified"},
      {"RST1 where RST0 is due", {0x3F, 0xFF, 0xD1, 0x3F}, "breaks"},
      {"no restart marker between the intervals", {0x3F, 0x3F}, "breaks"},
      {"a restart marker before the interval's MCU", {0xFF, 0xD0, 0x3F, 0xFF, 0xD1, 0x3F}, "breaks"},
      {"a restart marker after the last MCU", {0x3F, 0xFF, 0xD0, 0x3F, 0xFF, 0xD1}, "breaks"},
      {"EOI one MCU early", {0x3F}, "breaks"},
      {"padding of zero bits", {0x3F, 0xFF, 0xD0, 0x3E}, "breaks"},
  };
  for (const auto& c : cases) EXPECT_EQ(Verdict("JPG", RestartJpeg(c.scan), 512), c.verdict) << c.what;
}

// Faults each format's own fields show, made in real files, beside the
// untouched file's verdict.
TEST(FormatCheck, FaultsInTheFormatsOwnFieldsAreCaught) {
  constexpr size_t kCluster = 512;
  const struct {
    const char* what;
    const char* sample;
    std::function<void(std::vector<uint8_t>&)> edit;
    const char* verdict;
  } cases[] = {
      {"jpeg as written", "jpeg", [](auto&) {}, "verified"},
      {"jpeg: padding after EOI in the last cluster", "jpeg",
       [](auto& b) { b.resize(b.size() + std::min<size_t>(100, kCluster - 1 - b.size() % kCluster), 0); }, "verified"},
      {"jpeg: a cluster of text after EOI", "jpeg",
       [](auto& b) { b.resize((b.size() / kCluster + 2) * kCluster, 'a'); }, "breaks"},
      {"jpeg: two clusters of the scan swapped", "jpeg",
       [](auto& b) { std::swap_ranges(b.begin() + 20 * kCluster, b.begin() + 21 * kCluster, b.begin() + 21 * kCluster); },
       "breaks"},
      {"jpeg: a cluster of the scan left out", "jpeg",
       [](auto& b) { b.erase(b.begin() + 20 * kCluster, b.begin() + 21 * kCluster); b.resize(b.size() + kCluster, 0); },
       "breaks"},
      {"png: one bit of the image data flipped", "png", [](auto& b) { b[Find(b, "IDAT") + 5000] ^= 0x10; }, "breaks"},
      {"png: a byte of an ancillary chunk changed", "png", [](auto& b) { b[Find(b, "tEXt") + 6] ^= 0x01; }, "breaks"},
      {"docx as written", "docx", [](auto&) {}, "verified"},
      {"zip: a central entry points past its local header", "docx",
       [](auto& b) { ++b[Find(b, "PK\x01\x02") + 42]; }, "breaks"},
      {"zip: a central entry's name is not its local header's", "docx",
       [](auto& b) { ++b[Find(b, "PK\x01\x02") + 46]; }, "breaks"},
      {"zip: the end record gives another directory offset", "docx",
       [](auto& b) { ++b[Find(b, "PK\x05\x06") + 16]; }, "breaks"},
      {"zip: a deflated entry's CRC-32 changed", "zip streamed",
       [](auto& b) { ++b[Find(b, "PK\x07\x08") + 4]; }, "breaks"},
      {"pdf as written (its content stream not judged)", "pdf", [](auto&) {}, "unchecked"},
      {"pdf: an xref entry off its object", "pdf",
       [](auto& b) { Retype(b[Find(b, " 00000 n", Find(b, "xref")) - 1]); }, "failed"},
      {"pdf: two xref entries swapped", "pdf",
       [](auto& b) {
         const size_t first = Find(b, " 00000 n", Find(b, "xref")) - 10;
         std::swap_ranges(b.begin() + static_cast<ptrdiff_t>(first), b.begin() + static_cast<ptrdiff_t>(first + 20),
                          b.begin() + static_cast<ptrdiff_t>(first + 20));
       },
       "failed"},
      {"pdf: a letter over the objects after the stream", "pdf",
       [](auto& b) {
         const size_t at = Find(b, "endstream") + 10, end = Find(b, "xref");
         const auto text = testing::WriteText(end - at, "Dear council, the minutes follow.\n");
         std::copy(text.begin(), text.end(), b.begin() + static_cast<ptrdiff_t>(at));
       },
       "breaks"},
      {"pdf: startxref not at the table", "pdf", [](auto& b) { ++b[Find(b, "%%EOF") - 2]; }, "failed"},
      {"pdf: a /Length that misses endstream", "pdf", [](auto& b) { Retype(b[Find(b, " >>\nstream") - 1]); }, "breaks"},
      {"pdf 1.5: an object renumbered", "pdf 1.5", [](auto& b) { b[Find(b, "\n2 0 obj") + 1] = '3'; }, "failed"},
      // Present where the machine has these documents (Debian's libtasn1-doc).
      {"pdf (system) as written", "pdf (system)", [](auto&) {}, "verified"},
      {"pdf (system): an object renumbered", "pdf (system)",
       [](auto& b) {
         const size_t at = Find(b, "\n2 0 obj");
         b[at + 1] = '3';
       },
       "failed"},
      {"pdf (system): one bit of a compressed stream flipped", "pdf (system)",
       [](auto& b) { b[Find(b, "stream", Find(b, "/FlateDecode")) + 200] ^= 0x04; }, "breaks"},
      {"mp4: a box in the movie box one byte longer", "mp4", [](auto& b) { ++b[Find(b, "mvhd") - 1]; }, "breaks"},
      {"mp4: the movie box's last box runs past it", "mp4", [](auto& b) { ++b[Find(b, "udta") - 1]; }, "breaks"},
      {"mp4: mdat one byte shorter", "mp4", [](auto& b) { --b[Find(b, "mdat") - 1]; }, "breaks"},
  };
  for (const auto& c : cases) {
    const Sample* sample = SampleNamed(c.sample);
    if (!sample) continue;  // a document this machine does not have
    std::vector<uint8_t> bytes = sample->bytes;
    c.edit(bytes);
    EXPECT_EQ(Verdict(sample->extension, bytes, kCluster), c.verdict) << c.what;
  }
}

enum class Stranger { kOtherFile, kRandom, kZeros, kText };
constexpr Stranger kStrangers[] = {Stranger::kOtherFile, Stranger::kRandom, Stranger::kZeros, Stranger::kText};
const char* StrangerName(Stranger s) {
  switch (s) {
    case Stranger::kOtherFile: return "other file";
    case Stranger::kRandom: return "random";
    case Stranger::kZeros: return "zeros";
    case Stranger::kText: return "text";
  }
  return "";
}

// `clusters` clusters of a stranger's bytes, as a free cluster of the
// volume may hold them: a run of another file of the format (not its first
// cluster), noise, zeros, or a letter.
std::vector<uint8_t> StrangerRun(const Sample& sample, Stranger kind, size_t clusters, size_t cluster_size,
                                 std::mt19937& random) {
  std::vector<uint8_t> run(clusters * cluster_size, 0);
  switch (kind) {
    case Stranger::kOtherFile: {
      const size_t count = ClusterCount(sample.other.size(), cluster_size);
      const size_t first = 1 + random() % (count - 1);
      for (size_t c = 0; c < clusters && first + c < count; ++c) {
        const auto bytes = Cluster(sample.other, first + c, cluster_size);
        std::copy(bytes.begin(), bytes.end(), run.begin() + static_cast<ptrdiff_t>(c * cluster_size));
      }
      break;
    }
    case Stranger::kRandom:
      for (uint8_t& b : run) b = static_cast<uint8_t>(random());
      break;
    case Stranger::kZeros: break;
    case Stranger::kText: {
      const auto text = testing::WriteText(run.size(), "Minutes of the meeting, item 4: the budget was agreed.\n");
      std::copy(text.begin(), text.end(), run.begin());
      break;
    }
  }
  return run;
}

// Up to `most` cluster indexes from 1 to `count` - 1, spread evenly.
std::vector<size_t> Positions(size_t count, size_t most) {
  std::vector<size_t> positions;
  for (size_t k = 0; k < std::min(most, count - 1); ++k) positions.push_back(1 + k * (count - 1) / std::min(most, count - 1));
  return positions;
}

struct Caught {
  int at_cluster = 0, later = 0, at_end = 0, unchecked = 0, verified = 0;
  int Total() const { return at_cluster + later + at_end + unchecked + verified; }
  int Found() const { return at_cluster + later + at_end; }
};

// The file with cluster `swapped` replaced by `stranger`: where, if at all,
// the check notices.
void Substitute(const Sample& sample, size_t cluster_size, size_t swapped, std::span<const uint8_t> stranger,
                Caught& caught) {
  FormatCheck check(sample.extension, sample.bytes, sample.bytes.size());
  const size_t count = ClusterCount(sample.bytes.size(), cluster_size);
  for (size_t i = 0; i < count; ++i) {
    if (check.Feed(i == swapped ? stranger : Cluster(sample.bytes, i, cluster_size)) == ClusterVerdict::kBreaks) {
      ++(i == swapped ? caught.at_cluster : caught.later);
      return;
    }
  }
  switch (check.Complete()) {
    case FormatOutcome::kFailed: ++caught.at_end; break;
    case FormatOutcome::kUnchecked: ++caught.unchecked; break;
    case FormatOutcome::kVerified: ++caught.verified; break;
  }
}

// How many substitutions in a hundred each sample must notice (kBreaks or
// kFailed), by stranger, and how many choices in a hundred must find the
// true next cluster; -1 where the format cannot tell (the figure is printed
// all the same). Measured at 512 and 4096 bytes a cluster, a little below.
struct Floor {
  const char* sample;
  int other, random, zeros, text;
  int chosen;
};
constexpr Floor kFloors[] = {
    {"jpeg", 100, 100, 100, 100, 95},
    {"jpeg 4:2:0", 100, 100, 100, 100, 70},
    {"jpeg grey", 100, 100, 100, 100, 85},
    {"jpeg progressive", -1, 80, -1, -1, 50},  // scans not decoded: marker rules only
    {"png", 100, 100, 100, 100, 85},
    {"docx", 100, 100, 100, 100, -1},  // its stored XML takes any text until the CRC
    {"zip streamed", 100, 100, 100, 100, 90},
    {"pdf", 5, 5, 5, 5, 55},  // mostly one unfiltered stream, not judged
    {"pdf 1.5", 100, 100, 100, 100, 80},
    {"pdf (system)", 100, 100, 100, 100, 80},  // its streams inflated
    {"mp4", -1, -1, -1, -1, -1},  // mdat is not judged
    {"mp4 moov first", -1, -1, -1, -1, -1},
};

const Floor& FloorOf(const std::string& sample) {
  for (const Floor& floor : kFloors)
    if (sample == floor.sample) return floor;
  throw std::logic_error("no floor for " + sample);
}

int FloorFor(const Floor& floor, Stranger kind) {
  switch (kind) {
    case Stranger::kOtherFile: return floor.other;
    case Stranger::kRandom: return floor.random;
    case Stranger::kZeros: return floor.zeros;
    case Stranger::kText: return floor.text;
  }
  return -1;
}

TEST(FormatCheck, AClusterOfAnotherFileBreaksTheFileOrFailsItsEnd) {
  std::mt19937 random(42);
  std::map<std::string, std::map<Stranger, Caught>> figures;
  for (const Sample& sample : Samples()) {
    for (const size_t cluster_size : {512u, 4096u}) {
      const size_t count = ClusterCount(sample.bytes.size(), cluster_size);
      if (count < 3) continue;
      for (const Stranger kind : kStrangers) {
        for (const size_t swapped : Positions(count, 40)) {
          auto stranger = StrangerRun(sample, kind, 1, cluster_size, random);
          const auto truth = Cluster(sample.bytes, swapped, cluster_size);
          stranger.resize(truth.size());
          if (std::equal(truth.begin(), truth.end(), stranger.begin())) continue;
          Substitute(sample, cluster_size, swapped, stranger, figures[sample.name][kind]);
        }
      }
    }
  }
  for (const auto& [name, by_kind] : figures) {
    for (const auto& [kind, c] : by_kind) {
      std::printf("swap  %-17s %-10s  %3d tried: %3d at the cluster, %3d later, %3d at the end, %3d unchecked, %3d verified\n",
                  name.c_str(), StrangerName(kind), c.Total(), c.at_cluster, c.later, c.at_end, c.unchecked,
                  c.verified);
      // A file with a stranger's cluster in it is never called verified.
      EXPECT_EQ(c.verified, 0) << name << ", " << StrangerName(kind);
      const int floor = FloorFor(FloorOf(name), kind);
      if (floor >= 0) {
        EXPECT_GE(100 * c.Found(), floor * c.Total()) << name << ", " << StrangerName(kind);
      }
    }
  }
}

// The copy's choice among the next free clusters: the file's true next
// cluster at place 2 to 4, strangers before and after it, each candidate
// judged over the run of 16 clusters the copy would take from it.
TEST(FormatCheck, TheTrueNextClusterIsChosenAmongStrangers) {
  constexpr size_t kCandidates = 4, kRun = 16;
  std::mt19937 random(7);
  for (const Sample& sample : Samples()) {
    int chosen = 0, trials = 0;
    for (const size_t cluster_size : {512u, 4096u}) {
      const size_t count = ClusterCount(sample.bytes.size(), cluster_size);
      if (count < 3) continue;
      for (const size_t split : Positions(count, 30)) {
        FormatCheck check(sample.extension, sample.bytes, sample.bytes.size());
        for (size_t i = 0; i < split; ++i) check.Feed(Cluster(sample.bytes, i, cluster_size));
        const size_t true_end = std::min(sample.bytes.size(), (split + kRun) * cluster_size);
        const std::vector<uint8_t> truth(sample.bytes.begin() + static_cast<ptrdiff_t>(split * cluster_size),
                                         sample.bytes.begin() + static_cast<ptrdiff_t>(true_end));
        for (size_t place = 1; place < kCandidates; ++place) {
          std::vector<std::vector<uint8_t>> strangers;
          std::vector<std::span<const uint8_t>> runs;
          for (size_t c = 0; c < kCandidates; ++c)
            if (c != place) strangers.push_back(StrangerRun(sample, kStrangers[random() % 4], kRun, cluster_size, random));
          for (size_t c = 0, s = 0; c < kCandidates; ++c) runs.push_back(c == place ? std::span(truth) : std::span(strangers[s++]));
          ++trials;
          chosen += ChooseContinuation(check, runs, cluster_size) == place;
        }
      }
    }
    std::printf("choose %-17s %3d of %3d (%d%%)\n", sample.name.c_str(), chosen, trials, trials ? 100 * chosen / trials : 0);
    const int floor = FloorOf(sample.name).chosen;
    if (floor >= 0) {
      EXPECT_GE(100 * chosen, floor * trials) << sample.name;
    }
  }
}

}  // namespace
}  // namespace quorvane
