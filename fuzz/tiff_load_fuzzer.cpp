// libFuzzer target: each input, saved as a .tif file, goes through ImgLoadFromFile; small
// images that load are exported, and the export must load back with the same pixels.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "scratch_file.h"
#include "vorlane/vorlane.h"

namespace {

using fuzzing::ScratchFile;

// Images up to this many pixels are exported and read back.
constexpr long kRoundTripPixels = 64 * 1024;

// Files claiming more samples than this are skipped: a few hundred bytes of CCITT data can
// describe a legitimate page of hundreds of megapixels, which decodes correctly but takes
// tens of seconds under the sanitizers. Claims beyond the library's size limit (more than
// 2^30 pixels is beyond it for every format) are refused before any decoding and are kept.
constexpr uint64_t kMaxSamples = uint64_t{1} << 22;

// True when the first directory of the file claims a picture of at most kMaxSamples
// samples or of more than 2^30 pixels, or cannot be read at all (the library then meets
// the damage itself).
bool ClaimsModestSize(const char* path) {
  TIFF* tif = TIFFOpen(path, "r");
  if (!tif) return true;
  uint32_t width = 0, height = 0;
  uint16_t samples = 1;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFClose(tif);
  const uint64_t pixels = uint64_t{width} * height;
  return pixels * samples <= kMaxSamples || pixels > (uint64_t{1} << 30);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The size probe's own libtiff messages are noise.
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile input;
  static ScratchFile output;
  input.Fill(data, size);
  if (!ClaimsModestSize(input.path())) return 0;
  std::unique_ptr<CImage> image(ImgLoadFromFile(input.wide(), nullptr, nullptr, nullptr, nullptr));
  if (!image) return 0;
  // A loaded image has its size and pixels.
  if (image->GetWidth() <= 0 || image->GetHeight() <= 0) __builtin_trap();
  if (static_cast<long>(image->GetWidth()) * image->GetHeight() > kRoundTripPixels) return 0;
  if (!image->ExportTIFF(output.wide())) __builtin_trap();
  std::unique_ptr<CImage> again(ImgLoadFromFile(output.wide(), nullptr, nullptr, nullptr, nullptr));
  if (!again || again->GetRuntimeClass() != image->GetRuntimeClass() ||
      again->GetWidth() != image->GetWidth() || again->GetHeight() != image->GetHeight()) {
    __builtin_trap();
  }
  for (int y = 0; y < image->GetHeight(); ++y) {
    for (int x = 0; x < image->GetWidth(); ++x) {
      if (again->GetRGBColor(x, y) != image->GetRGBColor(x, y)) __builtin_trap();
    }
  }
  return 0;
}
