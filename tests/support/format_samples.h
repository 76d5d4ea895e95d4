#pragma once
// Files of real formats, for tests where a file's content must be told from
// other data: pictures drawn by ImageMagick, a DOCX and a streamed ZIP
// written by Python's zipfile, a PDF and an MP4 laid out by hand as their
// writers do, plain text. Every failing tool throws with its output.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

// A picture of `width` x `height` pixels of fractal noise (seeded, so the
// same arguments draw the same picture), in the format `extension` names to
// `convert`: "jpg", "png", "gif", "bmp". `options` go to `convert` before
// the output ("-interlace", "Plane" for a progressive JPEG).
std::vector<uint8_t> DrawPicture(const std::string& extension, int width, int height, int seed,
                                 const std::vector<std::string>& options = {});
// A one-page DOCX: a ZIP holding the content types, the package relations
// and a document of `paragraphs` paragraphs.
std::vector<uint8_t> WriteDocx(int paragraphs);
// A ZIP written to a pipe, as a program streaming it out does: sizes and
// CRCs follow each entry's data in a data descriptor. `entries` text parts
// of `entry_bytes` bytes each, deflated, and one stored part.
std::vector<uint8_t> WriteStreamedZip(int entries, int entry_bytes, int seed);
// An MP4 of one track laid out as a muxer writes it: ftyp, then the
// movie box (mvhd, trak with its sample tables) before or after mdat, whose
// `media_bytes` of seeded noise stand for the coded frames.
std::vector<uint8_t> WriteMp4(size_t media_bytes, bool movie_box_first, int seed);
// A one-page PDF 1.4 with its cross-reference table, the page showing
// `lines` lines of text.
std::vector<uint8_t> WritePdf(int lines);
// The same page as PDF 1.5 writers lay it out: the content stream
// compressed with FlateDecode and the cross-reference table a compressed
// stream of its own, its rows PNG-Up predicted (/Predictor 12).
std::vector<uint8_t> WriteCompressedPdf(int lines);
// Lines of plain English text, cut at `size` bytes.
std::vector<uint8_t> WriteText(size_t size, const std::string& line);

}  // namespace quorvane::testing
