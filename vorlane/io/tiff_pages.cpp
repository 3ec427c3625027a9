// Every page of a TIFF file.
#include "vorlane/io/tiff_pages.h"

#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "kernels/io/picture_size.h"
#include "kernels/io/tiff_rows.h"
#include "platform/utf8.h"

namespace vorlane {
namespace {

// TIFF files hold at most this many pages here: a loop of directories or a file of millions
// of tiny directories is refused rather than walked.
constexpr int kMaxPages = 100000;

const char* CompressionName(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
      return "none";
    case COMPRESSION_CCITTRLE:
      return "ccitt-rle";
    case COMPRESSION_CCITTFAX3:
      return "g3";
    case COMPRESSION_CCITTFAX4:
      return "g4";
    case COMPRESSION_LZW:
      return "lzw";
    case COMPRESSION_OJPEG:
    case COMPRESSION_JPEG:
      return "jpeg";
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      return "deflate";
    case COMPRESSION_PACKBITS:
      return "packbits";
    case COMPRESSION_JBIG:
      return "jbig";
    case COMPRESSION_ZSTD:
      return "zstd";
    case COMPRESSION_WEBP:
      return "webp";
    default:
      return nullptr;
  }
}

// Dots per inch of a resolution tag value in unit (ResolutionUnit), rounded; 0 for none.
int DpiOf(float value, uint16_t unit) {
  if (!(value > 0.0f) || !std::isfinite(value)) return 0;
  const double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
  return dpi < 1.0 || dpi > 1e6 ? 0 : static_cast<int>(std::lround(dpi));
}

// True for a reduced-resolution subfile (a thumbnail or a preview).
bool IsReducedImage(TIFF* tif) {
  uint32_t subfile = 0;
  if (TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile) && (subfile & FILETYPE_REDUCEDIMAGE))
    return true;
  uint16_t oldSubfile = 0;
  return TIFFGetField(tif, TIFFTAG_OSUBFILETYPE, &oldSubfile) &&
         oldSubfile == OFILETYPE_REDUCEDIMAGE;
}

// The facts of the current directory.
PageInfo InfoOf(TIFF* tif) {
  PageInfo info;
  detail::TiffLayout layout;
  if (!detail::ReadTiffLayout(tif, layout)) return info;
  info.width = static_cast<int>(std::min<uint32_t>(layout.width, INT32_MAX));
  info.height = static_cast<int>(std::min<uint32_t>(layout.height, INT32_MAX));
  info.bitsPerSample = layout.bitsPerSample;
  info.samplesPerPixel = layout.samplesPerPixel;
  const bool grey =
      layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK;
  info.format = !grey ? "colour" : layout.bitsPerSample > 1 ? "greyscale" : "bi-level";
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  const char* name = CompressionName(compression);
  info.compression = name ? name : "compression " + std::to_string(compression);
  float x = 0.0f, y = 0.0f;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit != RESUNIT_NONE && TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) {
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) y = x;
    info.dpiX = DpiOf(x, unit);
    info.dpiY = DpiOf(y, unit);
    if (info.dpiX == 0 || info.dpiY == 0) info.dpiX = info.dpiY = 0;
  }
  return info;
}

class TiffPages final : public PageSource {
 public:
  TiffPages(detail::TiffHandle tif, std::wstring name)
      : m_tif(std::move(tif)), m_name(std::move(name)) {}

  // Lists the pages; false with error when the file holds none.
  bool List(std::string& error) {
    TIFF* tif = m_tif.get();
    tdir_t dir = 0;
    do {
      if (!IsReducedImage(tif)) {
        m_dirs.push_back(dir);
        m_info.push_back(InfoOf(tif));
      }
      ++dir;
    } while (static_cast<int>(m_dirs.size()) < kMaxPages && dir < kMaxPages &&
             TIFFReadDirectory(tif));
    if (m_dirs.empty()) {
      error = "damaged TIFF: it holds no page";
      return false;
    }
    return true;
  }

  PageFileKind Kind() const override { return PageFileKind::tiff; }
  int Count() const override { return static_cast<int>(m_dirs.size()); }
  const PageInfo& Info(int index) const override {
    static const PageInfo none;
    return index >= 0 && index < Count() ? m_info[static_cast<size_t>(index)] : none;
  }

  LoadedImage Load(int index) override {
    LoadedImage result;
    if (index < 0 || index >= Count()) {
      result.error = "there is no page " + std::to_string(index + 1);
      return result;
    }
    TIFF* tif = m_tif.get();
    if (!TIFFSetDirectory(tif, m_dirs[static_cast<size_t>(index)])) {
      result.error = "damaged TIFF: the page cannot be found";
      return result;
    }
    const PageInfo& info = m_info[static_cast<size_t>(index)];
    if (info.width <= 0 || info.height <= 0) {
      result.error = "the picture is empty (" + std::to_string(info.width) + " x " +
                     std::to_string(info.height) + " pixels)";
      return result;
    }
    const int bytesPerPixel = info.format == "colour" ? 4 : 1;
    if (detail::PictureBytes(static_cast<uint64_t>(info.width), static_cast<uint64_t>(info.height),
                             bytesPerPixel) < 0) {
      result.error = "the picture of " + std::to_string(info.width) + " x " +
                     std::to_string(info.height) + " pixels exceeds the size limit of " +
                     std::to_string(detail::kMaxPictureBytes >> 20) + " MiB";
      return result;
    }
    std::unique_ptr<CImage> image;
    if (info.format == "bi-level") {
      image = std::make_unique<CBiLevelImage>();
    } else if (info.format == "greyscale") {
      image = std::make_unique<CGreyScaleImage>();
    } else {
      image = std::make_unique<CHiColorImage>();
    }
    try {
      if (!image->CreateFromTIFF(tif, m_name.c_str())) {
        result.error = "damaged or unsupported TIFF page (" + info.compression + ", " +
                       std::to_string(info.bitsPerSample) + " bits x " +
                       std::to_string(info.samplesPerPixel) + " samples)";
        return result;
      }
    } catch (const std::bad_alloc&) {
      result.error = "too large to load";
      return result;
    }
    if (info.dpiX > 0) image->SetDPI(info.dpiX, info.dpiY, 0);
    result.image = std::move(image);
    return result;
  }

 private:
  detail::TiffHandle m_tif;
  std::wstring m_name;
  std::vector<tdir_t> m_dirs;
  std::vector<PageInfo> m_info;
};

}  // namespace

OpenedPages OpenTiffPages(const std::filesystem::path& path) {
  OpenedPages opened;
  // Read, not memory-mapped: the file's pages would otherwise stay in the process beside the
  // pixels decoded from them.
  detail::TiffHandle tif = detail::OpenTiff(path.c_str(), "rm");
  if (!tif) {
    opened.error = "damaged TIFF: its header cannot be read";
    return opened;
  }
  auto pages = std::make_unique<TiffPages>(std::move(tif), WideFromUtf8(path.native()));
  if (!pages->List(opened.error)) return opened;
  opened.source = std::move(pages);
  return opened;
}

}  // namespace vorlane
