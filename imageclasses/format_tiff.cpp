// TIFF import and export of the bi-level, greyscale and full-colour formats.
//
// A reader decodes the whole picture into buffers of its own first and hands them to the
// image only when every row was read, so that a failed read leaves the image as it was.
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/imagemap.h"
#include "kernels/io/tiff_rows.h"
#include "kernels/io/tiff_samples.h"
#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/map_bytes.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/diagnostics.h"

using vorlane::detail::TiffImageBytes;
using vorlane::detail::TiffLayout;
using vorlane::detail::TiffRowReader;
using vorlane::detail::TiffWriteLayout;
using vorlane::detail::Trace;
using vorlane::detail::TraceF;
using vorlane::detail::WriteTiff;

namespace {

// Reads the layout of the current directory of tif. False, with a trace line, when the size
// or photometric tags are missing or the samples are not stored contiguously.
bool ReadContiguousLayout(TIFF* tif, TiffLayout& layout) {
  if (!vorlane::detail::ReadTiffLayout(tif, layout)) {
    Trace("TIFF size or photometric interpretation is missing\n");
    return false;
  }
  if (layout.planar != PLANARCONFIG_CONTIG) {
    Trace("Planar cofiguration is not contiguous\n");
    return false;
  }
  return true;
}

// True for one-channel files (WhiteIsZero, BlackIsZero) with samples the readers can scale;
// writes a trace line otherwise.
bool IsReadableGrey(const TiffLayout& layout) {
  if (layout.photometric != PHOTOMETRIC_MINISWHITE &&
      layout.photometric != PHOTOMETRIC_MINISBLACK) {
    TraceF("TIFF photometric interpretation %u is not grey\n", layout.photometric);
    return false;
  }
  return vorlane::detail::TiffSamplesSupported(layout);
}

// True when a colour file decodes row by row to the pixel layout: 8-bit red, green, blue,
// maybe a fourth sample that libtiff's RGBA conversion would keep as it stands (no alpha
// information, associated or unspecified alpha), top row first. Other colour files go through
// that conversion.
bool ReadsAsRgbRows(const TiffLayout& layout) {
  const bool plainFourth = layout.extraSamples == 0 ||
                           layout.firstExtraSample == EXTRASAMPLE_ASSOCALPHA ||
                           layout.firstExtraSample == EXTRASAMPLE_UNSPECIFIED;
  return layout.photometric == PHOTOMETRIC_RGB && layout.bitsPerSample == 8 &&
         (layout.sampleFormat == SAMPLEFORMAT_UINT || layout.sampleFormat == SAMPLEFORMAT_VOID) &&
         layout.orientation == ORIENTATION_TOPLEFT &&
         ((layout.samplesPerPixel == 3 && layout.extraSamples == 0) ||
          (layout.samplesPerPixel == 4 && plainFourth));
}

// The overlay colour of each of the 256 labels of a map, as GetMapColour answers.
struct MapColours {
  const CImageMap* map = nullptr;
  bool any = false;  // some label has a colour
  std::array<bool, 256> has{};
  std::array<std::array<unsigned char, 3>, 256> rgb{};
};

// Asks the map once for the colour of each label.
MapColours ColoursOf(const CImageMap& map) {
  MapColours colours;
  colours.map = &map;
  for (int label = 0; label < 256; ++label) {
    auto& rgb = colours.rgb[static_cast<size_t>(label)];
    const bool has =
        map.GetMapColour(static_cast<unsigned char>(label), &rgb[0], &rgb[1], &rgb[2]) != 0;
    colours.has[static_cast<size_t>(label)] = has;
    colours.any = colours.any || has;
  }
  return colours;
}

// True when none of the eight pixels from x on takes a colour from the overlay: every map
// holds label 0 there and gives label 0 no colour (the common case of unlabelled pixels).
bool NoColourInRun(const std::vector<MapColours>& overlay,
                   const std::vector<const unsigned char*>& labels, int x) {
  for (size_t m = 0; m < overlay.size(); ++m) {
    uint64_t run;
    std::memcpy(&run, labels[m] + x, sizeof run);
    if (run != 0 || overlay[m].has[0]) return false;
  }
  return true;
}

// Colour rows are decoded in blocks of about this many bytes, which stay in the cache.
constexpr size_t kDecodeBlockBytes = size_t{256} << 10;
// Pages of more bytes than this are written past the cache: they would not stay in it.
constexpr size_t kPageBytesPastCache = size_t{8} << 20;

// Reads every row of an uncompressed file straight from the file into lines, in bands of
// rows on all cores. False when the file's rows cannot all be read so (nothing is
// reported: the caller then reads them through libtiff, which reports what is wrong).
bool ReadFileRowsInBands(const TiffRowReader& rows, uint32_t height, uint8_t* const* lines) {
  if (!rows.AllRowsInFile()) return false;
  std::atomic<bool> complete{true};
  vorlane::detail::ForEachRowBand(
      0, static_cast<int>(height), static_cast<int64_t>(rows.RowBytes()) * height,
      [&](int first, int last) {
        const auto count = static_cast<uint32_t>(last - first);
        if (rows.ReadFileRows(static_cast<uint32_t>(first), count, lines + first) < count) {
          complete = false;
        }
      });
  return complete;
}

// Decodes the rows of an RGB file of three or four samples into the pixel rows lines (top
// row first) of the pageBytes bytes at data as blue, green, red, x. Four-sample rows are
// decoded in place; others in blocks into a buffer that stays in the cache, then turned into
// pixels (around the cache when the page is larger than it). Rows that the file holds as
// they stand are read in bands on all cores. Returns the number of rows done before the
// first that failed.
uint32_t ReadRgbRows(TiffRowReader& rows, const TiffLayout& layout, unsigned char* data,
                     unsigned char* const* lines, size_t pageBytes) {
  const bool direct = layout.samplesPerPixel == 4;
  const size_t rowBytes = rows.RowBytes();
  const uint32_t block = direct ? layout.height
                                : static_cast<uint32_t>(std::clamp<size_t>(
                                      kDecodeBlockBytes / rowBytes, 1, layout.height));
  // Only into pages already in memory: fresh ones are faulted in and zeroed through the cache
  // anyway, and storing around it then costs more.
  const bool pastCache =
      !direct && pageBytes > kPageBytesPastCache && vorlane::detail::PagesInMemory(data, pageBytes);
  // A block buffer and its row pointers.
  struct Block {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t*> rows;
  };
  const auto makeBlock = [&] {
    Block b;
    if (direct) return b;
    b.bytes.resize(block * rowBytes);
    for (uint32_t r = 0; r < block; ++r) b.rows.push_back(b.bytes.data() + r * rowBytes);
    return b;
  };
  // Decodes rows [first, last) with decode(y, count, in) and converts them; returns the row
  // that failed, or last.
  const auto convertRows = [&](uint32_t first, uint32_t last, const Block& b, auto&& decode) {
    for (uint32_t top = first; top < last; top += block) {
      const uint32_t count = std::min(block, last - top);
      uint8_t* const* in = direct ? lines + top : b.rows.data();
      const uint32_t read = decode(top, count, in);
      for (uint32_t r = 0; r < read; ++r) {
        vorlane::detail::RgbRowToBgrx(in[r], layout.width, layout.samplesPerPixel, lines[top + r],
                                      pastCache);
      }
      if (read < count) return top + read;
    }
    return last;
  };
  if (rows.AllRowsInFile()) {
    const vorlane::detail::RowBands bands(0, static_cast<int>(layout.height),
                                          static_cast<int64_t>(pageBytes));
    std::vector<Block> blocks;
    for (int b = 0; b < bands.Count(); ++b) blocks.push_back(makeBlock());
    std::atomic<bool> complete{true};
    bands.Run([&](int band, int first, int last) {
      const auto end = static_cast<uint32_t>(last);
      const auto readFile = [&](uint32_t y, uint32_t count, uint8_t* const* in) {
        return rows.ReadFileRows(y, count, in);
      };
      if (convertRows(static_cast<uint32_t>(first), end, blocks[static_cast<size_t>(band)],
                      readFile) < end) {
        complete = false;
      }
    });
    if (complete) return layout.height;
  }
  // Through libtiff where the file's rows cannot all be read as they stand.
  return convertRows(
      0, layout.height, makeBlock(),
      [&](uint32_t y, uint32_t count, uint8_t* const* in) { return rows.ReadRows(y, count, in); });
}

// Writes the trace line of a row that could not be decoded; returns false.
bool RowFailed(uint32_t y) {
  TraceF("TIFF row %u cannot be read\n", y);
  return false;
}

}  // namespace

int CImage::AdoptDecodedPixels(vorlane::detail::OwnedPixelArrays& arrays, unsigned char*& data,
                               unsigned char**& lines, int width, int height, const wchar_t* name) {
  if (data || m_ppImageMaps) FreeMem();
  if (!CImage::Create(width, height, 0, name)) return 0;
  arrays.HandOver(data, lines);
  m_bArraysByReference = 0;
  SetDirty();
  return 1;
}

// ---- Bi-level ----

int CBiLevelImage::CreateFromTIFF(TIFF* tif, const wchar_t* fileName) {
  TiffLayout layout;
  if (!tif || !ReadContiguousLayout(tif, layout) || !IsReadableGrey(layout)) return 0;
  if (layout.bitsPerSample != 1) {
    TraceF("TIFF samples of %u bits are not bi-level\n", layout.bitsPerSample);
    return 0;
  }
  TiffRowReader rows;
  if (TiffImageBytes(layout.width, layout.height, 1) < 0 || !rows.Begin(tif, layout)) return 0;
  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);

  // One byte per pixel from the first sample of each pixel, 1 = white.
  m_nBitsPerPixel = 1;
  const int bytesPerLine = GetBytesPerLine(width);
  vorlane::detail::OwnedPixelArrays arrays(bytesPerLine, height);
  SetupLineArray(arrays.Lines(), arrays.Data(), height, bytesPerLine);
  std::vector<uint8_t> scanline(rows.RowBytes());
  const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
  for (uint32_t y = 0; y < layout.height; ++y) {
    uint8_t* row = arrays.Lines()[y];
    if (!rows.ReadRow(y, scanline.data())) return RowFailed(y);
    vorlane::detail::UnpackFirstBitSamples(scanline.data(), layout.width, layout.samplesPerPixel,
                                           invert, row);
    std::memset(row + width, 0, static_cast<size_t>(bytesPerLine - width));
  }

  return AdoptDecodedPixels(arrays, m_pData, m_ppLines, width, height, fileName);
}

int CBiLevelImage::ExportTIFF(const wchar_t* fileName) {
  if (!fileName || !HasPixels(m_ppLines)) return 0;
  // Each row packed straight into the scanline: the first (width + 7) / 8 bytes of the
  // packed row, which is all the scanline holds.
  const TiffWriteLayout layout{static_cast<uint32_t>(m_nWidth), static_cast<uint32_t>(m_nHeight), 1,
                               1, PHOTOMETRIC_MINISBLACK};
  return WriteTiff(fileName, layout,
                   [&](uint32_t y, uint8_t* scratch) {
                     vorlane::detail::PackPixelBits(m_ppLines[y], layout.width, scratch);
                     return scratch;
                   })
             ? 1
             : 0;
}

// ---- Greyscale ----

int CGreyScaleImage::CreateFromTIFF(TIFF* tif, const wchar_t* fileName) {
  TiffLayout layout;
  if (!tif || !ReadContiguousLayout(tif, layout) || !IsReadableGrey(layout)) return 0;
  TiffRowReader rows;
  if (TiffImageBytes(layout.width, layout.height, 1) < 0 || !rows.Begin(tif, layout)) return 0;
  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);

  m_nBitsPerPixel = 8;
  const int bytesPerLine = GetBytesPerLine(width);
  vorlane::detail::OwnedPixelArrays arrays(bytesPerLine, height);
  SetupLineArray(arrays.Lines(), arrays.Data(), height, bytesPerLine);
  // 8-bit single-sample rows are decoded straight into the pixel rows.
  const bool direct = layout.bitsPerSample == 8 && layout.samplesPerPixel == 1 &&
                      rows.RowBytes() <= static_cast<size_t>(bytesPerLine);
  std::vector<uint8_t> scanline(direct ? 0 : rows.RowBytes());
  const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
  if (direct && !ReadFileRowsInBands(rows, layout.height, arrays.Lines())) {
    const uint32_t read = rows.ReadRows(0, layout.height, arrays.Lines());
    if (read < layout.height) return RowFailed(read);
  }
  for (uint32_t y = 0; y < layout.height; ++y) {
    uint8_t* row = arrays.Lines()[y];
    if (!direct && !rows.ReadRow(y, scanline.data())) return RowFailed(y);
    if (!direct || invert) {
      vorlane::detail::ConvertGreyRow(direct ? row : scanline.data(), layout.width,
                                      layout.bitsPerSample, layout.samplesPerPixel, invert, row);
    }
    std::memset(row + width, 0, static_cast<size_t>(bytesPerLine - width));
  }

  return AdoptDecodedPixels(arrays, m_pData, m_ppLines, width, height, fileName);
}

int CGreyScaleImage::ExportTIFF(const wchar_t* fileName) {
  if (!fileName || !HasPixels(m_ppLines)) return 0;
  const TiffWriteLayout layout{static_cast<uint32_t>(m_nWidth), static_cast<uint32_t>(m_nHeight), 1,
                               8, PHOTOMETRIC_MINISBLACK};
  return WriteTiff(fileName, layout, [&](uint32_t y, uint8_t*) { return m_ppLines[y]; }) ? 1 : 0;
}

// ---- Full colour ----

int CHiColorImage::CreateFromTIFF(TIFF* tif, const wchar_t* fileName) {
  TiffLayout layout;
  if (!tif || !ReadContiguousLayout(tif, layout)) return 0;
  if (TiffImageBytes(layout.width, layout.height, 4) < 0) return 0;
  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);

  m_nBitsPerPixel = 32;
  const int bytesPerLine = GetBytesPerLine(width);  // 4 x width: rows need no padding
  vorlane::detail::OwnedPixelArrays arrays(bytesPerLine, height);
  SetupLineArray(arrays.Lines(), arrays.Data(), height, bytesPerLine);
  if (ReadsAsRgbRows(layout)) {
    TiffRowReader rows;
    if (!rows.Begin(tif, layout)) return 0;
    const uint32_t done = ReadRgbRows(rows, layout, arrays.Data(), arrays.Lines(),
                                      vorlane::detail::BufferBytes(bytesPerLine, height));
    if (done < layout.height) return RowFailed(done);
  } else {
    // libtiff converts any other kind of file to red, green, blue, alpha values, bottom row
    // first like the pixel buffer; a damaged file fails instead of leaving rows unset.
    auto* raster = reinterpret_cast<uint32_t*>(arrays.Data());
    if (!TIFFReadRGBAImageOriented(tif, layout.width, layout.height, raster, ORIENTATION_BOTLEFT,
                                   1)) {
      Trace("TIFF image cannot be converted to RGB\n");
      return 0;
    }
    vorlane::detail::RasterToBgra(arrays.Data(), static_cast<size_t>(layout.width) * layout.height);
  }

  return AdoptDecodedPixels(arrays, m_pData, m_ppLines, width, height, fileName);
}

int CHiColorImage::ExportTIFF(const wchar_t* fileName) {
  if (!fileName || !HasPixels(m_ppLines)) return 0;
  // With the map overlay shown, a pixel takes the colour of the first map (in list order)
  // that has one for its label. Maps of another size than the image have no say, nor have
  // maps without a single coloured label.
  std::vector<MapColours> overlay;
  if (m_ImageUpdate.wFlags & IU_MAP_OVERLAY) {
    for (int i = 0; i < m_nImageMaps; ++i) {
      const CImageMap* map = m_ppImageMaps[i];
      if (!map || map->GetWidth() != m_nWidth || map->GetHeight() != m_nHeight) continue;
      MapColours colours = ColoursOf(*map);
      if (colours.any) overlay.push_back(colours);
    }
  }
  // Whether label 0 takes a colour in some map: otherwise rows of label 0 in every map keep
  // their pixels, found by a fast scan.
  const bool zeroColoured =
      std::any_of(overlay.begin(), overlay.end(), [](const MapColours& c) { return c.has[0]; });
  std::vector<const unsigned char*> labels(overlay.size());  // the map rows of row y
  const TiffWriteLayout layout{static_cast<uint32_t>(m_nWidth), static_cast<uint32_t>(m_nHeight), 4,
                               8, PHOTOMETRIC_RGB};
  return WriteTiff(fileName, layout,
                   [&](uint32_t y, uint8_t* scratch) {
                     vorlane::detail::SwapRedBlue(m_ppLines[y], layout.width, scratch);
                     for (size_t i = 0; i < overlay.size(); ++i) {
                       labels[i] = overlay[i].map->GetLine(static_cast<int>(y));
                     }
                     const bool rowKept =
                         !zeroColoured &&
                         std::all_of(labels.begin(), labels.end(), [&](const unsigned char* row) {
                           return vorlane::detail::FirstNonZeroLine(row, layout.width) ==
                                  layout.width;
                         });
                     for (int x = 0; x < m_nWidth && !rowKept; x += 8) {
                       const int end = std::min(x + 8, m_nWidth);
                       if (end - x == 8 && NoColourInRun(overlay, labels, x)) continue;
                       for (int i = x; i < end; ++i) {
                         for (size_t m = 0; m < overlay.size(); ++m) {
                           const unsigned char label = labels[m][i];
                           if (overlay[m].has[label]) {
                             std::memcpy(scratch + 4 * static_cast<size_t>(i),
                                         overlay[m].rgb[label].data(), 3);
                             break;
                           }
                         }
                       }
                     }
                     return scratch;
                   })
             ? 1
             : 0;
}
