// Builders of PNG and JPEG files for the tests of the page readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picturetest {

// A picture of width x height pixels of channels samples (1 grey, 2 grey and alpha, 3 RGB,
// 4 RGBA), top row first; samples of 16 bits take two bytes, most significant first.
struct Picture {
  int width = 0, height = 0, channels = 1, bits = 8;
  std::vector<uint8_t> samples;
};

// Writes picture as a PNG (bits 1, 2, 4, 8 or 16; sub-byte samples packed) with a pHYs
// chunk of pixelsPerMetre when it is not negative. False when libpng refuses.
bool WritePng(const std::string& path, const Picture& picture, long pixelsPerMetre = -1);

// Writes an 8-bit grey or RGB picture as a JPEG of quality with a JFIF density (unit 0 none,
// 1 per inch, 2 per centimetre).
bool WriteJpeg(const std::string& path, const Picture& picture, int quality, int unit = 0,
               int density = 0);

}  // namespace picturetest
