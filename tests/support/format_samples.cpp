#include "support/format_samples.h"

#include <cstdio>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

std::vector<uint8_t> DrawPicture(const std::string& extension, int width, int height, int seed,
                                 const std::vector<std::string>& options) {
  TempDir scratch;
  const std::string out = scratch.File("picture." + extension);
  std::vector<std::string> argv = {"convert", "-seed", std::to_string(seed), "-size",
                                   std::to_string(width) + "x" + std::to_string(height), "plasma:fractal"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(out);
  RunCommandOrThrow(argv);
  return ReadFileBytes(out);
}

std::vector<uint8_t> WriteStreamedZip(int entries, int entry_bytes, int seed) {
  // An output without tell() is one zipfile cannot seek back in.
  static constexpr char kScript[] = R"(import random, sys, zipfile
class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
entries, size, rnd = int(sys.argv[2]), int(sys.argv[3]), random.Random(int(sys.argv[4]))
words = ["budget", "council", "minutes", "agreed", "member", "report", "the", "of", "and", "road"]
with open(sys.argv[1], "wb") as f, zipfile.ZipFile(Pipe(f), "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(entries):
        text = " ".join(rnd.choice(words) + str(rnd.randrange(1000)) for _ in range(size))[:size]
        z.writestr("part%d.txt" % i, text)
    z.writestr("image.raw", bytes(rnd.getrandbits(8) for _ in range(size)), zipfile.ZIP_STORED)
)";
  TempDir scratch;
  const std::string out = scratch.File("streamed.zip");
  RunCommandOrThrow({"python3", "-c", kScript, out, std::to_string(entries), std::to_string(entry_bytes),
                     std::to_string(seed)});
  return ReadFileBytes(out);
}

std::vector<uint8_t> WriteMp4(size_t media_bytes, bool movie_box_first, int seed) {
  static constexpr char kScript[] = R"(import random, struct, sys
media_size, moov_first, rnd = int(sys.argv[2]), sys.argv[3] == "1", random.Random(int(sys.argv[4]))
def box(kind, payload): return struct.pack(">I", 8 + len(payload)) + kind + payload
def full(kind, payload): return box(kind, b"\0\0\0\0" + payload)
media = bytes(rnd.getrandbits(8) for _ in range(media_size))
chunk = 4000
sizes = [min(chunk, media_size - at) for at in range(0, media_size, chunk)]
ftyp = box(b"ftyp", b"isom" + struct.pack(">I", 512) + b"isomiso2avc1mp41")
def moov(media_at):
    stsd = full(b"stsd", struct.pack(">I", 1) + box(b"avc1", bytes(78)))
    stts = full(b"stts", struct.pack(">III", 1, len(sizes), 512))
    stsc = full(b"stsc", struct.pack(">IIII", 1, 1, 1, 1))
    stsz = full(b"stsz", struct.pack(">II", 0, len(sizes)) + b"".join(struct.pack(">I", s) for s in sizes))
    stco = full(b"stco", struct.pack(">I", len(sizes)) +
                b"".join(struct.pack(">I", media_at + i * chunk) for i in range(len(sizes))))
    stbl = box(b"stbl", stsd + stts + stsc + stsz + stco)
    minf = box(b"minf", full(b"vmhd", bytes(8)) +
               box(b"dinf", full(b"dref", struct.pack(">I", 1) + full(b"url ", b""))) + stbl)
    mdia = box(b"mdia", full(b"mdhd", bytes(20)) + full(b"hdlr", bytes(4) + b"vide" + bytes(12) + b"Video\0") + minf)
    trak = box(b"trak", full(b"tkhd", bytes(80)) + mdia)
    return box(b"moov", full(b"mvhd", bytes(96)) + trak + box(b"udta", box(b"\xa9too", b"quorvane test")))
if moov_first:
    size = len(moov(0))
    out = ftyp + moov(len(ftyp) + size + 8 + 8) + box(b"free", b"") + box(b"mdat", media)
else:
    out = ftyp + box(b"mdat", media) + moov(len(ftyp) + 8)
open(sys.argv[1], "wb").write(out)
)";
  TempDir scratch;
  const std::string out = scratch.File("clip.mp4");
  RunCommandOrThrow({"python3", "-c", kScript, out, std::to_string(media_bytes), movie_box_first ? "1" : "0",
                     std::to_string(seed)});
  return ReadFileBytes(out);
}

std::vector<uint8_t> WriteDocx(int paragraphs) {
  // The three parts a word processor needs to open the package.
  static constexpr char kScript[] = R"(import sys, zipfile
body = "".join("<w:p><w:r><w:t>Paragraph %d of the letter to the council.</w:t></w:r></w:p>" % i
               for i in range(int(sys.argv[2])))
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml",
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/word/document.xml" ContentType='
        '"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
    z.writestr("_rels/.rels",
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Target="word/document.xml" Type='
        '"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"/>'
        '</Relationships>')
    z.writestr("word/document.xml",
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
        "<w:body>" + body + "</w:body></w:document>", zipfile.ZIP_STORED)
)";
  TempDir scratch;
  const std::string out = scratch.File("letter.docx");
  RunCommandOrThrow({"python3", "-c", kScript, out, std::to_string(paragraphs)});
  return ReadFileBytes(out);
}

std::vector<uint8_t> WritePdf(int lines) {
  std::string stream = "BT /F1 11 Tf 40 800 Td 14 TL\n";
  for (int i = 0; i < lines; ++i)
    stream += "(Minutes, item " + std::to_string(i + 1) + ": the budget was agreed.) '\n";
  stream += "ET\n";
  const std::string objects[] = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "endstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  };
  std::string pdf = "%PDF-1.4\n";
  std::string xref = "xref\n0 6\n0000000000 65535 f \n";
  for (size_t i = 0; i < std::size(objects); ++i) {
    char offset[24];
    std::snprintf(offset, sizeof offset, "%010zu 00000 n \n", pdf.size());
    xref += offset;
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref_at = pdf.size();
  pdf += xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref_at) + "\n%%EOF\n";
  return {pdf.begin(), pdf.end()};
}

std::vector<uint8_t> WriteCompressedPdf(int lines) {
  static constexpr char kScript[] = R"(import struct, sys, zlib
lines = int(sys.argv[2])
text = "BT /F1 11 Tf 40 800 Td 14 TL\n" + "".join(
    "(Minutes, item %d: the budget was agreed.) '\n" % (i + 1) for i in range(lines)) + "ET\n"
content = zlib.compress(text.encode())
objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
           b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
           b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
           b"/Resources << /Font << /F1 5 0 R >> >> >>",
           b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(content) + content + b"\nendstream",
           b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
pdf = b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n"
offsets = []
for i, body in enumerate(objects):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n" % (i + 1) + body + b"\nendobj\n"
xref_at = len(pdf)
rows = [(0, 0, 255)] + [(1, o, 0) for o in offsets] + [(1, xref_at, 0)]
raw, above = b"", bytes(5)
for kind, field, gen in rows:
    row = struct.pack(">BIB", kind, field, gen)[:1] + struct.pack(">I", field)[1:] + bytes([gen])
    raw += b"\x02" + bytes((r - a) & 255 for r, a in zip(row, above))
    above = row
data = zlib.compress(raw)
pdf += (b"6 0 obj\n<< /Type /XRef /Size 7 /W [1 3 1] /Root 1 0 R /Filter /FlateDecode "
        b"/DecodeParms << /Predictor 12 /Columns 5 >> /Length %d >>\nstream\n" % len(data) + data +
        b"\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n" % xref_at)
open(sys.argv[1], "wb").write(pdf)
)";
  TempDir scratch;
  const std::string out = scratch.File("minutes.pdf");
  RunCommandOrThrow({"python3", "-c", kScript, out, std::to_string(lines)});
  return ReadFileBytes(out);
}

std::vector<uint8_t> WriteText(size_t size, const std::string& line) {
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) bytes.insert(bytes.end(), line.begin(), line.end());
  bytes.resize(size);
  return bytes;
}

}  // namespace quorvane::testing
