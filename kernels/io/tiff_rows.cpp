// libtiff plumbing of the TIFF readers and writers: handles, paths, limits, row reading.
#include "kernels/io/tiff_rows.h"

#include <sys/stat.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "kernels/pixels/buffer_size.h"
#include "platform/diagnostics.h"
#include "platform/utf8.h"

namespace vorlane::detail {
namespace {

// libtiff error handler of the library's handles: one trace line per error.
int TraceTiffError(TIFF*, void*, const char* module, const char* format, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, format, args);
  TraceF("TIFF error: %s: %s\n", module ? module : "libtiff", message);
  return 1;  // handled: libtiff's global handler (standard error) is not called
}

// libtiff warning handler of the library's handles: warnings are dropped.
int DropTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

TiffHandle OpenTiff(const char* path, const char* mode) {
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TraceTiffError, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), DropTiffWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffImageBytes);
  return TiffHandle(TIFFOpenExt(path, mode, options.get()));
}

bool ReadTiffLayout(TIFF* tif, TiffLayout& layout) {
  layout = TiffLayout{};
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height) ||
      !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
    return false;
  }
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &layout.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &layout.orientation);
  uint16_t* extra = nullptr;
  if (TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &layout.extraSamples, &extra) &&
      layout.extraSamples > 0 && extra) {
    layout.firstExtraSample = extra[0];
  } else {
    layout.extraSamples = 0;
  }
  layout.tiled = TIFFIsTiled(tif) != 0;
  return true;
}

int64_t TiffImageBytes(uint32_t width, uint32_t height, int bytesPerPixel) {
  if (width == 0 || height == 0) {
    TraceF("TIFF image of %u x %u pixels is empty\n", width, height);
    return -1;
  }
  const int64_t bytes = PictureBytes(width, height, bytesPerPixel);
  if (bytes < 0) {
    TraceF("TIFF image of %u x %u pixels exceeds the size limit of %lld bytes\n", width, height,
           static_cast<long long>(kMaxTiffImageBytes));
    return -1;
  }
  return bytes;
}

bool TiffSamplesSupported(const TiffLayout& layout) {
  const bool unsignedSamples =
      layout.sampleFormat == SAMPLEFORMAT_UINT || layout.sampleFormat == SAMPLEFORMAT_VOID;
  if (!unsignedSamples || layout.bitsPerSample < 1 || layout.bitsPerSample > 16 ||
      layout.samplesPerPixel < 1) {
    TraceF("TIFF samples of %u bits in format %u are not supported\n", layout.bitsPerSample,
           layout.sampleFormat);
    return false;
  }
  return true;
}

bool TiffRowReader::Begin(TIFF* tif, const TiffLayout& layout) {
  m_tif = tif;
  m_layout = layout;
  m_bandTop = -1;
  m_bitsPerPixel = size_t{layout.bitsPerSample} * layout.samplesPerPixel;
  const uint64_t rowBytes = TIFFScanlineSize64(tif);
  // A row must hold every pixel's samples and fit the size limit.
  if (layout.planar != PLANARCONFIG_CONTIG || rowBytes == 0 ||
      rowBytes > static_cast<uint64_t>(kMaxTiffImageBytes) ||
      rowBytes * 8 < uint64_t{layout.width} * m_bitsPerPixel) {
    Trace("TIFF rows cannot be read\n");
    return false;
  }
  m_rowBytes = static_cast<size_t>(rowBytes);
  m_fd = -1;
  m_stripOffsets.clear();
  m_allRowsInFile = false;
  if (!layout.tiled) {
    // Uncompressed 8-bit samples in the bit order libtiff keeps are the decoded rows as they
    // stand in a regular file.
    uint16_t compression = COMPRESSION_NONE, fillOrder = FILLORDER_MSB2LSB;
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    struct stat file {};
    const int fd = TIFFFileno(tif);
    if (compression == COMPRESSION_NONE && layout.bitsPerSample == 8 &&
        layout.photometric != PHOTOMETRIC_YCBCR && fillOrder == FILLORDER_MSB2LSB &&
        TIFFIsMSB2LSB(tif) && rowsPerStrip > 0 && fd >= 0 && fstat(fd, &file) == 0 &&
        S_ISREG(file.st_mode) && file.st_size > 0) {
      m_fd = fd;
      m_fileBytes = static_cast<uint64_t>(file.st_size);
      m_rowsPerStrip = rowsPerStrip;
      FindFileStrips();
    }
    return true;
  }

  if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &m_tileWidth) ||
      !TIFFGetField(tif, TIFFTAG_TILELENGTH, &m_tileLength)) {
    m_tileWidth = m_tileLength = 0;
  }
  const uint64_t tileRowBytes = TIFFTileRowSize64(tif);
  const uint64_t tileBytes = TIFFTileSize64(tif);
  const uint64_t bandRows = std::min(m_tileLength, layout.height);
  // Tiles start on byte boundaries, hold whole rows and fit the size limit.
  constexpr auto kLimit = static_cast<uint64_t>(kMaxTiffImageBytes);
  if (m_tileWidth == 0 || m_tileLength == 0 || (m_tileWidth * m_bitsPerPixel) % 8 != 0 ||
      tileRowBytes == 0 || tileRowBytes > kLimit || m_tileLength > kLimit / tileRowBytes ||
      tileBytes > kLimit || tileBytes < tileRowBytes * m_tileLength ||
      bandRows > kLimit / rowBytes) {
    Trace("TIFF tiles cannot be read\n");
    return false;
  }
  m_tileRowBytes = static_cast<size_t>(tileRowBytes);
  m_tile.resize(static_cast<size_t>(tileBytes));
  m_band.resize(static_cast<size_t>(bandRows * rowBytes));
  return true;
}

bool TiffRowReader::LoadTileBand(uint32_t top) {
  const uint32_t rows = std::min(m_tileLength, m_layout.height - top);
  for (uint32_t x = 0; x < m_layout.width; x += m_tileWidth) {
    if (TIFFReadTile(m_tif, m_tile.data(), x, top, 0, 0) < 0) return false;
    // Copy the part of each tile row that lies inside the image.
    const size_t offset = static_cast<size_t>(uint64_t{x} * m_bitsPerPixel / 8);
    const size_t bytes = std::min(m_tileRowBytes, m_rowBytes - offset);
    for (uint32_t r = 0; r < rows; ++r) {
      std::memcpy(m_band.data() + r * m_rowBytes + offset, m_tile.data() + r * m_tileRowBytes,
                  bytes);
    }
    if (m_layout.width - x <= m_tileWidth) break;  // last tile column; x + width may wrap
  }
  m_bandTop = top;
  return true;
}

bool TiffRowReader::ReadRow(uint32_t y, uint8_t* dst) {
  if (!m_layout.tiled) return TIFFReadScanline(m_tif, dst, y, 0) >= 0;
  const uint32_t top = y - y % m_tileLength;
  if (top != m_bandTop && !LoadTileBand(top)) return false;
  std::memcpy(dst, m_band.data() + static_cast<size_t>(y - top) * m_rowBytes, m_rowBytes);
  return true;
}

void TiffRowReader::FindFileStrips() {
  m_stripOffsets.clear();
  m_allRowsInFile = false;
  const uint64_t strips = (uint64_t{m_layout.height} + m_rowsPerStrip - 1) / m_rowsPerStrip;
  if (strips > TIFFNumberOfStrips(m_tif) || strips > kMaxFileStrips) return;
  m_stripOffsets.resize(static_cast<size_t>(strips));
  m_allRowsInFile = true;
  for (uint32_t strip = 0; strip < strips; ++strip) {
    // libtiff reads a strip whole; it fails when the strip's bytes are missing, too few for
    // its rows or beyond its allocation limit, and then so must the rows here.
    const uint64_t rows =
        std::min<uint64_t>(m_rowsPerStrip, m_layout.height - uint64_t{strip} * m_rowsPerStrip);
    int error = 0;
    const uint64_t start = TIFFGetStrileOffsetWithErr(m_tif, strip, &error);
    const uint64_t bytes = TIFFGetStrileByteCountWithErr(m_tif, strip, &error);
    const bool readable = error == 0 && bytes >= rows * m_rowBytes &&
                          bytes <= static_cast<uint64_t>(kMaxTiffImageBytes) &&
                          start <= m_fileBytes && bytes <= m_fileBytes - start;
    m_stripOffsets[strip] = readable ? start : kNotInFile;
    m_allRowsInFile = m_allRowsInFile && readable;
  }
}

bool TiffRowReader::FileRowOffset(uint32_t y, uint64_t& offset) const {
  if (m_stripOffsets.empty()) return false;
  const uint32_t strip = y / m_rowsPerStrip;
  if (m_stripOffsets[strip] == kNotInFile) return false;
  offset = m_stripOffsets[strip] + (y - uint64_t{strip} * m_rowsPerStrip) * m_rowBytes;
  return true;
}

uint32_t TiffRowReader::ReadFileRows(uint32_t y, uint32_t count, uint8_t* const* rows) const {
  // Rows whose bytes follow each other in the file are read by one system call.
  std::array<iovec, 1024> vectors;
  uint32_t i = 0;
  while (i < count) {
    uint64_t start = 0, offset = 0;
    if (!FileRowOffset(y + i, start)) return i;
    uint32_t batch = 0;
    while (i + batch < count && batch < vectors.size() && FileRowOffset(y + i + batch, offset) &&
           offset == start + uint64_t{batch} * m_rowBytes) {
      vectors[batch] = iovec{rows[i + batch], m_rowBytes};
      ++batch;
    }
    uint32_t done = 0;
    while (done < batch) {
      const ssize_t got = preadv(m_fd, vectors.data() + done, static_cast<int>(batch - done),
                                 static_cast<off_t>(start + uint64_t{done} * m_rowBytes));
      if (got <= 0) break;
      done += static_cast<uint32_t>(static_cast<size_t>(got) / m_rowBytes);
      if (static_cast<size_t>(got) % m_rowBytes != 0) break;
    }
    i += done;
    if (done < batch) return i;
  }
  return count;
}

uint32_t TiffRowReader::ReadRows(uint32_t y, uint32_t count, uint8_t* const* rows) {
  uint32_t i = 0;
  while (i < count) {
    // The rows from i on that the file holds as they stand, then the first that it does not
    // (or that the system could not deliver) through libtiff, which reports what is wrong.
    i += ReadFileRows(y + i, count - i, rows + i);
    if (i < count) {
      if (!ReadRow(y + i, rows[i])) return i;
      ++i;
    }
  }
  return count;
}

// Rows are written in blocks of about this many bytes.
constexpr size_t kWriteBlockBytes = size_t{256} << 10;

bool WriteTiff(const wchar_t* path, const TiffWriteLayout& layout, const TiffRowSource& source) {
  std::string utf8;
  if (!WideToUtf8(path, utf8)) return false;
  bool written = false;
  {
    TiffHandle tif = OpenTiff(utf8.c_str(), "w");
    if (!tif) return false;
    TIFF* t = tif.get();
    if (TIFFSetField(t, TIFFTAG_IMAGEWIDTH, layout.width) &&
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, layout.height) &&
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel) &&
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) &&
        TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) &&
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, layout.photometric)) {
      const tmsize_t scanline = TIFFScanlineSize(t);
      if (scanline > 0) {
        // Without a rows-per-strip tag the image is one strip, and uncompressed rows of 8 bits
        // or less, most significant bit first, are stored as they stand. The rows are
        // gathered into blocks that stay in the cache and appended to the strip straight
        // from the block: written row by row, libtiff would copy every row into a buffer of
        // the whole image's size first.
        const auto rowBytes = static_cast<size_t>(scanline);
        const size_t blockRows = std::clamp<size_t>(kWriteBlockBytes / rowBytes, 1,
                                                    std::max<uint32_t>(layout.height, 1));
        std::vector<uint8_t> block(blockRows * rowBytes);
        written = true;
        for (uint32_t y = 0; y < layout.height && written;) {
          const auto rows = static_cast<uint32_t>(std::min<size_t>(blockRows, layout.height - y));
          // Last row first: image rows lie bottom row first in memory, so the rows are read
          // in ascending addresses, which the processor fetches ahead.
          for (uint32_t i = rows; i-- > 0;) {
            uint8_t* slot = block.data() + i * rowBytes;
            const uint8_t* row = source(y + i, slot);
            if (row != slot) std::memcpy(slot, row, rowBytes);
          }
          const auto bytes = static_cast<tmsize_t>(rows * rowBytes);
          written = TIFFWriteRawStrip(t, 0, block.data(), bytes) == bytes;
          y += rows;
        }
        written = written && TIFFFlush(t) != 0;
      }
    }
  }
  if (!written) std::remove(utf8.c_str());
  return written;
}

}  // namespace vorlane::detail
