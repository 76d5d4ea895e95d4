#include "support/format_samples.h"

#include <cstdio>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

std::vector<uint8_t> DrawPicture(const std::string& extension, int width, int height, int seed) {
  TempDir scratch;
  const std::string out = scratch.File("picture." + extension);
  RunCommandOrThrow({"convert", "-seed", std::to_string(seed), "-size",
                     std::to_string(width) + "x" + std::to_string(height), "plasma:fractal", out});
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

std::vector<uint8_t> WriteText(size_t size, const std::string& line) {
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) bytes.insert(bytes.end(), line.begin(), line.end());
  bytes.resize(size);
  return bytes;
}

}  // namespace quorvane::testing
