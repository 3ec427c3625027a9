// Writes small TIFF files of many flavours into a directory, as a seed corpus for the TIFF
// fuzzer: tiff_fuzz_seeds <directory>.
#include <cstdio>
#include <string>
#include <vector>

#include "support/tiff_files.h"

namespace {

struct Seed {
  const char* name;
  uint16_t bits, samples, photometric, compression;
  uint32_t tile;  // tile width and length, 0 for strips
  uint32_t rowsPerStrip;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const uint16_t mw = PHOTOMETRIC_MINISWHITE, mb = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
  const std::vector<Seed> seeds = {
      {"bits_none", 1, 1, mw, COMPRESSION_NONE, 0, 0},
      {"bits_packbits", 1, 1, mb, COMPRESSION_PACKBITS, 0, 3},
      {"bits_lzw", 1, 1, mw, COMPRESSION_LZW, 0, 0},
      {"bits_deflate", 1, 1, mw, COMPRESSION_ADOBE_DEFLATE, 0, 0},
      {"bits_g3", 1, 1, mw, COMPRESSION_CCITTFAX3, 0, 0},
      {"bits_g4", 1, 1, mw, COMPRESSION_CCITTFAX4, 0, 0},
      {"bits_tiled", 1, 1, mb, COMPRESSION_NONE, 16, 0},
      {"bits_two_samples", 1, 2, mb, COMPRESSION_NONE, 0, 0},
      {"grey2", 2, 1, mb, COMPRESSION_NONE, 0, 0},
      {"grey4", 4, 1, mw, COMPRESSION_PACKBITS, 0, 0},
      {"grey8_none", 8, 1, mb, COMPRESSION_NONE, 0, 1},
      {"grey8_lzw", 8, 1, mw, COMPRESSION_LZW, 0, 0},
      {"grey8_deflate", 8, 1, mb, COMPRESSION_ADOBE_DEFLATE, 0, 0},
      {"grey8_jpeg", 8, 1, mb, COMPRESSION_JPEG, 0, 8},
      {"grey8_tiled", 8, 1, mb, COMPRESSION_LZW, 16, 0},
      {"grey8_alpha", 8, 2, mb, COMPRESSION_NONE, 0, 0},
      {"grey12", 12, 1, mb, COMPRESSION_NONE, 0, 0},
      {"grey16", 16, 1, mb, COMPRESSION_NONE, 0, 0},
      {"rgb_none", 8, 3, rgb, COMPRESSION_NONE, 0, 0},
      {"rgb_lzw", 8, 3, rgb, COMPRESSION_LZW, 0, 2},
      {"rgb_jpeg", 8, 3, rgb, COMPRESSION_JPEG, 0, 8},
      {"rgb_tiled", 8, 3, rgb, COMPRESSION_ADOBE_DEFLATE, 16, 0},
      {"rgba", 8, 4, rgb, COMPRESSION_NONE, 0, 0},
      {"rgb16", 16, 3, rgb, COMPRESSION_NONE, 0, 0},
      {"ycbcr_jpeg", 8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 0, 16},
      {"palette4", 4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, 0, 0},
      {"cmyk", 8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE, 0, 0},
  };
  int failures = 0;
  for (const Seed& s : seeds) {
    tifftest::TiffFlavour f;
    f.width = 19;
    f.height = 11;
    f.bits = s.bits;
    f.samples = s.samples;
    f.photometric = s.photometric;
    f.compression = s.compression;
    f.tileWidth = f.tileLength = s.tile;
    f.rowsPerStrip = s.rowsPerStrip;
    if (s.samples == 2 || s.samples == 4) f.extraSample = EXTRASAMPLE_ASSOCALPHA;
    if (s.photometric == PHOTOMETRIC_SEPARATED) f.extraSample.reset();
    if (s.photometric == PHOTOMETRIC_PALETTE) f.colourMap.assign(3 * 16, 0x8000);
    const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int c) {
      return ((x * 7 + y * 13 + static_cast<uint32_t>(c) * 5) * 2654435761u) >> (32 - s.bits);
    });
    const std::string path = std::string(argv[1]) + "/" + s.name + ".tif";
    if (!tifftest::WriteTiffFile(path, f, {page})) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
