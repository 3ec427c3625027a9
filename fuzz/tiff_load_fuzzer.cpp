// libFuzzer target: each input, saved as a .tif file, goes through ImgLoadFromFile; small
// images that load are exported, and the export must load back with the same pixels.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "vorlane/vorlane.h"

namespace {

// A file in the temporary directory that lives as long as the process.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vorlane-fuzz-XXXXXX.tif";
    m_fd = ::mkstemps(pattern.data(), 4);
    if (m_fd < 0) std::abort();
    m_path = pattern;
    m_wide.assign(m_path.begin(), m_path.end());
  }
  ~ScratchFile() {
    ::close(m_fd);
    ::unlink(m_path.c_str());
  }
  // Replaces the content by size bytes of data.
  void Fill(const uint8_t* data, size_t size) {
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, data, size, 0) != static_cast<ssize_t>(size)) {
      std::abort();
    }
  }
  const wchar_t* wide() const { return m_wide.c_str(); }
  const char* path() const { return m_path.c_str(); }

 private:
  int m_fd = -1;
  std::string m_path;
  std::wstring m_wide;
};

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
