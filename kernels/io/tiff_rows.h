// libtiff plumbing of the TIFF readers and writers: handles, paths, size limits, the tags
// that decide how pixels are read, row-by-row reading of strips and tiles, and writing.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernels/io/picture_size.h"

namespace vorlane::detail {

// Largest pixel buffer, in bytes, that an image read from a TIFF file may have (1 GiB, the
// in-memory layout: one byte per pixel for bi-level and greyscale, four for colour, rows
// padded to 32 bits). Files claiming more load as nothing; the limit is checked before
// anything of that size is allocated. It also caps any single allocation of libtiff on the
// handles the library opens itself.
inline constexpr int64_t kMaxTiffImageBytes = kMaxPictureBytes;

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens a file with libtiff in a mode such as "r", "rm" or "w" (UTF-8 path). On the handle,
// libtiff's errors become trace lines, its warnings are dropped and no single allocation may exceed
// kMaxTiffImageBytes. Null when the file cannot be opened.
TiffHandle OpenTiff(const char* path, const char* mode);

// The tags of the current directory that decide how its pixels are read, with TIFF's
// defaults where a tag is absent.
struct TiffLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t photometric = 0;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint16_t extraSamples = 0;      // number of extra samples
  uint16_t firstExtraSample = 0;  // meaning of the first extra sample, when there is one
  bool tiled = false;
};

// Fills layout from the current directory. False when width, height or the photometric
// interpretation is missing.
bool ReadTiffLayout(TIFF* tif, TiffLayout& layout);

// Bytes of the pixel buffer of a width x height image with bytesPerPixel bytes per pixel in
// memory and rows padded to 32 bits. Returns -1 and writes a trace line when either side is
// 0 or the buffer would exceed kMaxTiffImageBytes; no intermediate product can overflow.
int64_t TiffImageBytes(uint32_t width, uint32_t height, int bytesPerPixel);

// True when the samples are unsigned integers (or of unspecified kind) that the readers can
// scale to 8 bits: 1 to 16 bits deep. Writes a trace line otherwise.
bool TiffSamplesSupported(const TiffLayout& layout);

// Reads the decoded rows of the current directory, top row first, from strips or tiles of
// a contiguous (chunky) file.
class TiffRowReader {
 public:
  // Prepares the reading. False (with a trace line) when the file is not contiguous or its
  // tiles do not fit the size limit.
  bool Begin(TIFF* tif, const TiffLayout& layout);
  // Bytes of one decoded row (libtiff's scanline size).
  size_t RowBytes() const { return m_rowBytes; }
  // Decodes row y into dst (RowBytes() bytes). Rows are asked for in increasing order, each
  // once. False on a read or decoding error.
  bool ReadRow(uint32_t y, uint8_t* dst);
  // Decodes rows y to y + count - 1 into rows[0] to rows[count - 1], as ReadRow does. Whole
  // uncompressed strips of 8-bit samples are read by the system straight into the rows, many
  // rows per call; any other row, and any strip that libtiff would reject, goes through
  // libtiff, so that both give the same rows and the same errors. Returns the number of
  // rows decoded before the first that failed (count when all were).
  uint32_t ReadRows(uint32_t y, uint32_t count, uint8_t* const* rows);
  // True when every row can be read from the file as it stands (uncompressed 8-bit strips,
  // all present), so that ReadFileRows may read any of them.
  bool AllRowsInFile() const { return m_allRowsInFile; }
  // Reads rows y to y + count - 1 that the file holds as they stand into rows, straight from
  // the file, without libtiff; several threads may call it at once for different rows.
  // Returns the number of rows read before the first that the file does not hold as it
  // stands or that the system could not deliver.
  uint32_t ReadFileRows(uint32_t y, uint32_t count, uint8_t* const* rows) const;

 private:
  // Decodes the band of tile rows that starts at row top into m_band.
  bool LoadTileBand(uint32_t top);
  // Finds the strips of an uncompressed file whose rows can be read as they stand.
  void FindFileStrips();
  // The file offset of row y when its strip can be read from the file as it stands.
  bool FileRowOffset(uint32_t y, uint64_t& offset) const;

  TIFF* m_tif = nullptr;
  TiffLayout m_layout;
  size_t m_rowBytes = 0;
  // Tiled files only.
  uint32_t m_tileWidth = 0;
  uint32_t m_tileLength = 0;
  size_t m_tileRowBytes = 0;
  size_t m_bitsPerPixel = 0;
  std::vector<uint8_t> m_tile;
  std::vector<uint8_t> m_band;
  int64_t m_bandTop = -1;
  // Uncompressed 8-bit strips read without libtiff: the file, its size and the strip height.
  int m_fd = -1;
  uint64_t m_fileBytes = 0;
  uint32_t m_rowsPerStrip = 0;
  // File offset of each strip, kNotInFile where libtiff must read the strip.
  static constexpr uint64_t kNotInFile = UINT64_MAX;
  static constexpr uint64_t kMaxFileStrips = uint64_t{1} << 22;
  std::vector<uint64_t> m_stripOffsets;
  bool m_allRowsInFile = false;
};

// What WriteTiff writes: an uncompressed, contiguous, most-significant-bit-first file.
struct TiffWriteLayout {
  uint32_t width;
  uint32_t height;
  uint16_t samplesPerPixel;
  uint16_t bitsPerSample;
  uint16_t photometric;
};

// Supplies scanline y, counted from the top (rows are asked for in no set order): returns
// either scratch (TIFFScanlineSize bytes to fill) or bytes of its own of at least that
// length, which are only read.
using TiffRowSource = std::function<const uint8_t*(uint32_t y, uint8_t* scratch)>;

// Writes a new file at path (replacing an existing one) with the tags ImageWidth,
// ImageLength, Compression, PlanarConfiguration, SamplesPerPixel, BitsPerSample, FillOrder
// and PhotometricInterpretation, in this order, and the rows of source as one strip (the
// file libtiff makes of them row by row). Returns false when
// the file cannot be created or a write fails; an incomplete file is removed.
bool WriteTiff(const wchar_t* path, const TiffWriteLayout& layout, const TiffRowSource& source);

}  // namespace vorlane::detail
