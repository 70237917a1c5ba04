// png_writer.h: a frame's pixels as the bytes of a PNG file, for the web display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libdeflate_compressor;

// Encodes frames one after another, keeping its buffers and its compressor from one to the next: at the feed's
// rate a buffer made anew every frame is cleared and faulted in every frame, which costs as much as the deflating.
// One thread at a time.
class PngWriter {
public:
  PngWriter();
  ~PngWriter();
  PngWriter(const PngWriter &) = delete;
  PngWriter &operator=(const PngWriter &) = delete;

  // Encodes width x height pixels (0x..RRGGBB words, the top byte ignored, the top row first, width words a row)
  // as an 8-bit RGB PNG into png. False when the encoder fails; png is then empty.
  bool Encode(const uint32_t *pixels, int width, int height, std::string &png);

private:
  libdeflate_compressor *compressor_ = nullptr;
  std::vector<unsigned char> rows_;     // the rows as PNG wants them: a filter byte, then RGB
  std::vector<unsigned char> deflated_; // rows_, deflated
};

// As PngWriter::Encode, with a writer kept for the calling thread.
bool EncodePng(const uint32_t *pixels, int width, int height, std::string &png);
