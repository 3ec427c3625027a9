// Builders of TIFF files for tests and fuzzing seeds.
#include "support/tiff_files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace tifftest {
namespace {

size_t ScanlineBytes(const TiffFlavour& f) {
  return (size_t{f.width} * f.bits * f.samples + 7) / 8;
}

// Writes the strips of one page, row by row (planar-separate files one plane at a time, one
// byte-deep sample per plane).
bool WriteStrips(TIFF* tif, const TiffFlavour& f, const Page& page) {
  const size_t scan = ScanlineBytes(f);
  const uint32_t rows = f.rowsPerStrip ? f.rowsPerStrip : TIFFDefaultStripSize(tif, 0);
  if (!TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows)) return false;
  std::vector<uint8_t> row(std::max<size_t>(scan, 1));
  const bool separate = f.planar == PLANARCONFIG_SEPARATE;
  for (uint16_t s = 0; s < (separate ? f.samples : 1); ++s) {
    for (uint32_t y = 0; y < f.height; ++y) {
      if (separate) {
        for (uint32_t x = 0; x < f.width; ++x) row[x] = page[y * scan + x * f.samples + s];
      } else {
        std::memcpy(row.data(), page.data() + y * scan, scan);  // libtiff may change the row
      }
      if (TIFFWriteScanline(tif, row.data(), y, s) < 0) return false;
    }
  }
  return true;
}

// Writes the tiles of one page; parts of edge tiles outside the picture are 0.
bool WriteTiles(TIFF* tif, const TiffFlavour& f, const Page& page) {
  if (!TIFFSetField(tif, TIFFTAG_TILEWIDTH, f.tileWidth) ||
      !TIFFSetField(tif, TIFFTAG_TILELENGTH, f.tileLength)) {
    return false;
  }
  const size_t scan = ScanlineBytes(f);
  const size_t tileRow = static_cast<size_t>(TIFFTileRowSize64(tif));
  std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize64(tif)));
  for (uint32_t ty = 0; ty < f.height; ty += f.tileLength) {
    for (uint32_t tx = 0; tx < f.width; tx += f.tileWidth) {
      std::fill(tile.begin(), tile.end(), 0);
      const size_t offset = size_t{tx} * f.bits * f.samples / 8;
      const size_t bytes = std::min(tileRow, scan - offset);
      for (uint32_t r = 0; r < f.tileLength && ty + r < f.height; ++r) {
        std::memcpy(tile.data() + r * tileRow, page.data() + (ty + r) * scan + offset, bytes);
      }
      if (TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0) < 0) return false;
    }
  }
  return true;
}

bool WritePage(TIFF* tif, const TiffFlavour& f, const Page& page, int pageNumber, int pages) {
  bool ok = true;
  auto set = [&](uint32_t tag, auto... values) { ok = ok && TIFFSetField(tif, tag, values...); };
  set(TIFFTAG_IMAGEWIDTH, f.width);
  set(TIFFTAG_IMAGELENGTH, f.height);
  set(TIFFTAG_BITSPERSAMPLE, f.bits);
  set(TIFFTAG_SAMPLESPERPIXEL, f.samples);
  set(TIFFTAG_PHOTOMETRIC, f.photometric);
  set(TIFFTAG_COMPRESSION, f.compression);
  set(TIFFTAG_PLANARCONFIG, f.planar);
  if (f.fillOrder) set(TIFFTAG_FILLORDER, *f.fillOrder);
  if (f.predictor) set(TIFFTAG_PREDICTOR, *f.predictor);
  if (f.orientation) set(TIFFTAG_ORIENTATION, *f.orientation);
  if (f.sampleFormat) set(TIFFTAG_SAMPLEFORMAT, *f.sampleFormat);
  const uint16_t meaning = f.extraSample.value_or(0);
  if (f.extraSample) set(TIFFTAG_EXTRASAMPLES, 1, &meaning);
  if (!f.colourMap.empty()) {
    const size_t n = size_t{1} << f.bits;
    std::vector<uint16_t> map = f.colourMap;
    map.resize(3 * n);
    set(TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
  }
  if (f.compression == COMPRESSION_JPEG) set(TIFFTAG_JPEGQUALITY, 100);
  if (f.compression == COMPRESSION_JPEG && f.photometric == PHOTOMETRIC_YCBCR)
    set(TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (f.resolution > 0) {
    set(TIFFTAG_XRESOLUTION, f.resolution), set(TIFFTAG_YRESOLUTION, f.resolution);
    set(TIFFTAG_RESOLUTIONUNIT, f.resolutionUnit);
  }
  if (pageNumber == f.reducedPage)
    set(TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  else if (pages > 1)
    set(TIFFTAG_SUBFILETYPE, FILETYPE_PAGE), set(TIFFTAG_PAGENUMBER, pageNumber, pages);
  ok = ok && (f.tileWidth ? WriteTiles(tif, f, page) : WriteStrips(tif, f, page));
  return ok && TIFFWriteDirectory(tif);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

bool DamageFirstStrip(const std::string& path, int dir) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  uint64_t* offsets = nullptr;
  const bool found = tif && TIFFSetDirectory(tif, static_cast<tdir_t>(dir)) &&
                     TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets);
  const uint64_t at = found ? offsets[0] : 0;
  if (tif) TIFFClose(tif);
  if (!found) return false;
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(at));
  const char garbage[16] = {'\xff', '\xfe', '\xff', '\xfd', '\xff', '\x00', '\xff', '\xff'};
  return static_cast<bool>(file.write(garbage, sizeof garbage));
}

bool WriteTiffFile(const std::string& path, const TiffFlavour& flavour,
                   const std::vector<Page>& pages) {
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "w"), TIFFClose);
  if (!tif) return false;
  const int count = static_cast<int>(pages.size());
  for (int p = 0; p < count; ++p) {
    if (!WritePage(tif.get(), flavour, pages[static_cast<size_t>(p)], p, count)) return false;
  }
  return true;
}

Page MakePage(const TiffFlavour& f,
              const std::function<uint32_t(uint32_t, uint32_t, int)>& sample) {
  const size_t scan = ScanlineBytes(f);
  Page page(scan * f.height, 0);
  for (uint32_t y = 0; y < f.height; ++y) {
    uint8_t* row = page.data() + y * scan;
    for (uint32_t x = 0; x < f.width; ++x) {
      for (int s = 0; s < f.samples; ++s) {
        const uint32_t v = sample(x, y, s);
        const size_t index = size_t{x} * f.samples + static_cast<size_t>(s);
        if (f.bits == 16) {
          const auto v16 = static_cast<uint16_t>(v);
          std::memcpy(row + 2 * index, &v16, 2);
        } else if (f.bits == 8) {
          row[index] = static_cast<uint8_t>(v);
        } else {
          for (int b = 0; b < f.bits; ++b) {  // most significant bit first
            const size_t pos = index * f.bits + static_cast<size_t>(b);
            if ((v >> (f.bits - 1 - b)) & 1)
              row[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
          }
        }
      }
    }
  }
  return page;
}

std::vector<uint8_t> AssembleTiff(std::vector<IfdEntry> entries, const std::vector<uint8_t>& data) {
  std::sort(entries.begin(), entries.end(),
            [](const IfdEntry& a, const IfdEntry& b) { return a.tag < b.tag; });
  std::vector<uint8_t> out{'I', 'I', 42, 0};
  const uint32_t ifd = static_cast<uint32_t>((8 + data.size() + 1) & ~size_t{1});
  PutLe(out, ifd, 4);
  out.insert(out.end(), data.begin(), data.end());
  out.resize(ifd, 0);
  PutLe(out, static_cast<uint32_t>(entries.size()), 2);
  for (const IfdEntry& e : entries) {
    PutLe(out, e.tag, 2), PutLe(out, e.type, 2), PutLe(out, e.count, 4), PutLe(out, e.value, 4);
  }
  PutLe(out, 0, 4);
  return out;
}

std::vector<IfdEntry> StripEntries(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                                   uint16_t photometric, uint16_t compression, uint32_t dataBytes,
                                   uint32_t tile) {
  std::vector<IfdEntry> e = {{TIFFTAG_IMAGEWIDTH, TIFF_LONG, 1, width},
                             {TIFFTAG_IMAGELENGTH, TIFF_LONG, 1, height},
                             {TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 1, bits},
                             {TIFFTAG_COMPRESSION, TIFF_SHORT, 1, compression},
                             {TIFFTAG_PHOTOMETRIC, TIFF_SHORT, 1, photometric},
                             {TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 1, samples}};
  if (tile) {
    e.insert(e.end(), {{TIFFTAG_TILEWIDTH, TIFF_LONG, 1, tile},
                       {TIFFTAG_TILELENGTH, TIFF_LONG, 1, tile},
                       {TIFFTAG_TILEOFFSETS, TIFF_LONG, 1, 8},
                       {TIFFTAG_TILEBYTECOUNTS, TIFF_LONG, 1, dataBytes}});
  } else {
    e.insert(e.end(), {{TIFFTAG_STRIPOFFSETS, TIFF_LONG, 1, 8},
                       {TIFFTAG_ROWSPERSTRIP, TIFF_LONG, 1, height},
                       {TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, 1, dataBytes}});
  }
  return e;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempPath::TempPath(const std::string& suffix) {
  static std::atomic<unsigned> counter{0};
  const std::string name =
      "vorlane-tiff-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix;
  m_path = (std::filesystem::temp_directory_path() / name).string();
}

TempPath::~TempPath() { std::remove(m_path.c_str()); }

}  // namespace tifftest
