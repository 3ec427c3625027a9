// Compact TIFF files of the library's images.
#include "vorlane/io/tiff_export.h"

#include <tiffio.h>

#include <cstdio>
#include <vector>

#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/io/tiff_rows.h"
#include "kernels/io/tiff_samples.h"

namespace vorlane {
namespace {

using detail::PixelFormat;

// Rows per strip: strips of about 64 KiB of uncompressed rows keep libtiff's buffers small.
uint32_t RowsPerStrip(size_t rowBytes, uint32_t height) {
  const size_t rows = std::max<size_t>(1, (size_t{64} << 10) / std::max<size_t>(rowBytes, 1));
  return static_cast<uint32_t>(std::min<size_t>(rows, height));
}

uint16_t TagOf(TiffCompression compression) {
  switch (compression) {
    case TiffCompression::g4:
      return COMPRESSION_CCITTFAX4;
    case TiffCompression::lzw:
      return COMPRESSION_LZW;
    case TiffCompression::deflate:
      return COMPRESSION_ADOBE_DEFLATE;
    case TiffCompression::none:
      break;
  }
  return COMPRESSION_NONE;
}

bool WriteTags(TIFF* t, const detail::PixelView& view, const TiffExportOptions& options, int dpi) {
  const bool bits = view.format == PixelFormat::kBiLevel;
  const bool colour = view.format == PixelFormat::kHiColour;
  const uint16_t compression = TagOf(options.compression);
  bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(view.width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(view.height)) &&
            TIFFSetField(t, TIFFTAG_COMPRESSION, compression) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits ? 1 : 8) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                         bits     ? PHOTOMETRIC_MINISWHITE
                         : colour ? PHOTOMETRIC_RGB
                                  : PHOTOMETRIC_MINISBLACK);
  // Differences of neighbours make grey and colour rows compress better; bits have none.
  if (ok && !bits && (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE))
    ok = TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (ok && dpi > 0) {
    ok = TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(dpi)) &&
         TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(dpi)) &&
         TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  return ok && TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                            RowsPerStrip(static_cast<size_t>(TIFFScanlineSize64(t)),
                                         static_cast<uint32_t>(view.height)));
}

// Row y of the image in the file's layout, in scratch.
void FileRow(const detail::PixelView& view, int y, uint8_t* scratch) {
  const uint8_t* row = view.rows[y];
  const auto width = static_cast<uint32_t>(view.width);
  if (view.format == PixelFormat::kBiLevel) {
    // WhiteIsZero: the packed bits of the pixels (1 white) inverted.
    detail::PackPixelBits(row, width, scratch);
    for (uint32_t i = 0; i < (width + 7) / 8; ++i) scratch[i] = static_cast<uint8_t>(~scratch[i]);
  } else if (view.format == PixelFormat::kHiColour) {
    for (uint32_t x = 0; x < width; ++x) {
      scratch[3 * x] = row[4 * x + 2];
      scratch[3 * x + 1] = row[4 * x + 1];
      scratch[3 * x + 2] = row[4 * x];
    }
  } else {
    std::copy_n(row, width, scratch);
  }
}

}  // namespace

const char* CompressionName(TiffCompression compression) {
  switch (compression) {
    case TiffCompression::g4:
      return "g4";
    case TiffCompression::lzw:
      return "lzw";
    case TiffCompression::deflate:
      return "deflate";
    case TiffCompression::none:
      break;
  }
  return "none";
}

bool ExportTiff(CImage& image, const std::filesystem::path& path, const TiffExportOptions& options,
                std::string& error) {
  const detail::PixelView view = detail::FormatAccess::View(&image);
  if (!view.HasPixels() || view.width <= 0 || view.height <= 0) {
    error = "the image has no pixels";
    return false;
  }
  if (view.format == PixelFormat::kLoColour || view.format == PixelFormat::kNone) {
    error = "palette images are not written as compact TIFF";
    return false;
  }
  if (options.compression == TiffCompression::g4 && view.format != PixelFormat::kBiLevel) {
    error = "Group 4 compression is for bi-level images only";
    return false;
  }
  const int dpi = options.dpi > 0 ? options.dpi : image.GetDPI() >= 50 ? image.GetDPI() : 0;
  bool written = false;
  {
    detail::TiffHandle tif = detail::OpenTiff(path.c_str(), "w");
    if (!tif) {
      error = "cannot be written";
      return false;
    }
    TIFF* t = tif.get();
    if (WriteTags(t, view, options, dpi)) {
      std::vector<uint8_t> scratch(static_cast<size_t>(TIFFScanlineSize64(t)) + 4);
      written = true;
      for (int y = 0; y < view.height && written; ++y) {
        FileRow(view, y, scratch.data());
        written = TIFFWriteScanline(t, scratch.data(), static_cast<uint32_t>(y), 0) == 1;
      }
      written = written && TIFFFlush(t) != 0;
    }
  }
  if (!written) {
    std::remove(path.c_str());
    error = "cannot be written";
  }
  return written;
}

}  // namespace vorlane
