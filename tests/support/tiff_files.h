// Builders of TIFF files for tests and fuzzing seeds: pictures written by libtiff in many
// flavours, hand-assembled files libtiff would refuse to write, and temporary file paths.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tifftest {

// How a picture is laid out in the file. Unset options are not written (libtiff's defaults).
struct TiffFlavour {
  uint32_t width = 1, height = 1;
  uint16_t bits = 8, samples = 1;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t planar = PLANARCONFIG_CONTIG;
  std::optional<uint16_t> fillOrder = {}, predictor = {}, orientation = {}, sampleFormat = {};
  std::optional<uint16_t> extraSample = {};  // meaning of the last sample, as ExtraSamples
  uint32_t rowsPerStrip = 0;                 // 0: libtiff's default
  uint32_t tileWidth = 0, tileLength = 0;    // non-zero: tiled
  std::vector<uint16_t> colourMap = {};  // palette files: red, green, blue runs of 2^bits entries
  float resolution = 0;                  // non-zero: XResolution and YResolution in unit
  uint16_t resolutionUnit = RESUNIT_INCH;
  int reducedPage = -1;  // the page written as a reduced-resolution subfile (a thumbnail)
};

// The decoded rows of one page, top row first, each (width * bits * samples + 7) / 8 bytes
// long: samples contiguous, sub-byte samples most significant bit first, 16-bit samples in
// native order.
using Page = std::vector<uint8_t>;

// Writes the pages with libtiff (planar-separate files take the contiguous rows and split
// them). False when libtiff refuses anything.
bool WriteTiffFile(const std::string& path, const TiffFlavour& flavour,
                   const std::vector<Page>& pages);

// Rows whose samples come from sample(x, y, s) (sample values of flavour.bits bits).
Page MakePage(const TiffFlavour& flavour,
              const std::function<uint32_t(uint32_t, uint32_t, int)>& sample);

// One directory entry of a hand-assembled file, with a value that fits in 4 bytes.
struct IfdEntry {
  uint16_t tag, type;  // type: TIFF_SHORT or TIFF_LONG
  uint32_t count, value;
};

// A little-endian TIFF file: header, then data at offset 8, then one directory with entries
// (sorted by tag here). Strip offsets of 8 point at data.
std::vector<uint8_t> AssembleTiff(std::vector<IfdEntry> entries, const std::vector<uint8_t>& data);

// Entries of a one-strip picture (or, with tile > 0, one tile of tile x tile pixels) whose
// data at offset 8 holds dataBytes bytes.
std::vector<IfdEntry> StripEntries(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                                   uint16_t photometric, uint16_t compression, uint32_t dataBytes,
                                   uint32_t tile = 0);

// Overwrites the first bytes of the first strip of directory dir of the file with garbage.
bool DamageFirstStrip(const std::string& path, int dir);

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// A fresh path in the temporary directory with the given suffix; the file, if it was made,
// is removed by the destructor.
class TempPath {
 public:
  explicit TempPath(const std::string& suffix);
  ~TempPath();
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;
  const std::string& str() const { return m_path; }
  const char* c_str() const { return m_path.c_str(); }
  std::wstring wide() const { return std::wstring(m_path.begin(), m_path.end()); }  // ASCII

 private:
  std::string m_path;
};

}  // namespace tifftest
