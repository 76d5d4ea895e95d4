#pragma once
// Files of real formats, for tests where a file's content must be told from
// other data: pictures drawn by ImageMagick, a DOCX written as a real ZIP by
// Python's zipfile, a PDF written out by hand, plain text. Every failing
// tool throws with its output.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

// A picture of `width` x `height` pixels of fractal noise (seeded, so the
// same arguments draw the same picture), in the format `extension` names to
// `convert`: "jpg", "png", "gif", "bmp".
std::vector<uint8_t> DrawPicture(const std::string& extension, int width, int height, int seed);
// A one-page DOCX: a ZIP holding the content types, the package relations
// and a document of `paragraphs` paragraphs.
std::vector<uint8_t> WriteDocx(int paragraphs);
// A one-page PDF 1.4 with its cross-reference table, the page showing
// `lines` lines of text.
std::vector<uint8_t> WritePdf(int lines);
// Lines of plain English text, cut at `size` bytes.
std::vector<uint8_t> WriteText(size_t size, const std::string& line);

}  // namespace quorvane::testing
