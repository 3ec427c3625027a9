// Side-by-side timing of page loading, export and colour conversion: ImgLoadFromFile against
// a plain libtiff scanline loop for 8-bit grey, 24-bit RGB and 1-bit files (uncompressed, LZW,
// Deflate), ExportTIFF against a libtiff write loop, and CreateFromImage of the colour page
// against OpenCV's cvtColor (and threshold). Cold and warm medians with their ratios.
//
// Also a one-shot mode for peak-memory measurements with /usr/bin/time -v:
//   vorlane_io_peers files DIR    writes the nine test files into DIR
//   vorlane_io_peers load FILE    loads FILE with ImgLoadFromFile once
//   vorlane_io_peers libtiff FILE reads FILE with the libtiff loop once
//   vorlane_io_peers none         does nothing (the process's own footprint)
//   vorlane_io_peers convert N    converts the colour page to grey N times (for profilers)
//   vorlane_io_peers conversions  times the conversions alone
#include <tiffio.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::peers::Figures;
using vorlane::bench::peers::MeasureMaking;
using vorlane::bench::peers::Print;
using vorlane::bench::peers::Ratio;

constexpr int kRepetitions = 15;

enum class Kind { kGrey, kRgb, kBits };

struct Codec {
  const char* name;
  uint16_t compression;
};
constexpr std::array<Codec, 3> kCodecs{
    {{"none", COMPRESSION_NONE}, {"LZW", COMPRESSION_LZW}, {"Deflate", COMPRESSION_ADOBE_DEFLATE}}};

const char* KindName(Kind kind) {
  return kind == Kind::kGrey ? "8-bit grey" : kind == Kind::kRgb ? "24-bit RGB" : "1-bit";
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string FileName(const std::string& dir, Kind kind, const Codec& codec) {
  const char* kindName = kind == Kind::kGrey ? "grey" : kind == Kind::kRgb ? "rgb" : "bits";
  return dir + "/" + kindName + "-" + codec.name + ".tif";
}

// Writes a bench page as a TIFF of the kind (grey and 1-bit BlackIsZero, RGB with three
// samples), in libtiff's default strips.
void WritePage(const std::string& path, Kind kind, uint16_t compression) {
  CImage& page = kind == Kind::kGrey  ? static_cast<CImage&>(vorlane::bench::BenchGreyPage())
                 : kind == Kind::kRgb ? static_cast<CImage&>(vorlane::bench::BenchColourPage())
                                      : static_cast<CImage&>(vorlane::bench::BenchBiLevelPage());
  const int width = page.GetWidth(), height = page.GetHeight();
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) std::abort();
  const uint16_t samples = kind == Kind::kRgb ? 3 : 1;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, kind == Kind::kBits ? 1 : 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
               kind == Kind::kRgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < width; ++x) {
      if (kind == Kind::kRgb) {
        row[3 * x] = page.GetRed(x, y);
        row[3 * x + 1] = page.GetGreen(x, y);
        row[3 * x + 2] = page.GetBlue(x, y);
      } else if (kind == Kind::kGrey) {
        row[x] = page.GetRed(x, y);
      } else if (page.GetRed(x, y)) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
    if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) std::abort();
  }
  TIFFClose(tif);
}

// A checksum of the pixels as the image holds them: grey levels, red + green + blue, or the
// number of white pixels.
long long Checksum(CImage& image) {
  const bool colour = image.IsKindOf(RUNTIME_CLASS(CHiColorImage));
  long long sum = 0;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      sum += image.GetRed(x, y);
      if (colour) sum += image.GetGreen(x, y) + image.GetBlue(x, y);
    }
  }
  return sum;
}

// The pixels a libtiff loop read: one buffer of the whole picture.
struct Raster {
  std::unique_ptr<uint8_t[]> pixels;
  size_t bytes = 0;
};

// The peer: open, read every scanline into one buffer of the picture, close. 1-bit rows are
// expanded to one byte per pixel (0 or 1) as they are read, through a one-row buffer.
Raster LibtiffLoad(const std::string& path, Kind kind) {
  Raster raster;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) std::abort();
  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  const size_t scanline = static_cast<size_t>(TIFFScanlineSize(tif));
  const size_t rowBytes = kind == Kind::kBits ? width : scanline;
  raster.bytes = rowBytes * height;
  raster.pixels = std::make_unique_for_overwrite<uint8_t[]>(raster.bytes);
  std::vector<uint8_t> packed(kind == Kind::kBits ? scanline : 0);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = raster.pixels.get() + y * rowBytes;
    if (kind != Kind::kBits) {
      if (TIFFReadScanline(tif, row, y, 0) < 0) std::abort();
      continue;
    }
    if (TIFFReadScanline(tif, packed.data(), y, 0) < 0) std::abort();
    for (uint32_t x = 0; x < width; ++x) row[x] = (packed[x >> 3] >> (7 - (x & 7))) & 1;
  }
  TIFFClose(tif);
  return raster;
}

// The sum of every byte: every byte is a sample (the page width leaves no row padding).
long long RasterChecksum(const Raster& raster) {
  long long sum = 0;
  for (size_t i = 0; i < raster.bytes; ++i) sum += raster.pixels[i];
  return sum;
}

struct Pair {
  Figures ours;
  Figures peer;
  Figures packingPeer;  // 1-bit export only: the peer that packs one byte per pixel
};

Pair CompareLoad(const std::string& path, Kind kind, const Codec& codec) {
  const std::wstring wide = Wide(path);
  const std::string label = std::string(KindName(kind)) + " " + codec.name;
  std::unique_ptr<CImage> image;
  Pair pair{
      MeasureMaking(
          "ImgLoadFromFile " + label, kRepetitions,
          [&] { image.reset(ImgLoadFromFile(wide.c_str(), nullptr, nullptr, nullptr, nullptr)); },
          [&] { image.reset(); }),
      {},
      {}};
  image.reset(ImgLoadFromFile(wide.c_str(), nullptr, nullptr, nullptr, nullptr));
  if (!image) std::abort();
  pair.ours.count = Checksum(*image);
  image.reset();
  Raster raster;
  pair.peer = MeasureMaking(
      "libtiff loop " + label, kRepetitions, [&] { raster = LibtiffLoad(path, kind); },
      [&] { raster = Raster{}; });
  raster = LibtiffLoad(path, kind);
  pair.peer.count = RasterChecksum(raster);
  return pair;
}

// A new uncompressed file with the tags ExportTIFF writes.
TIFF* OpenForWrite(const std::string& path, uint32_t width, uint32_t height, uint16_t samples,
                   uint16_t bits, uint16_t photometric) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) std::abort();
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  return tif;
}

// The peer of ExportTIFF: open, set the same tags, write every row of a buffer that already
// holds the file's scanlines, close.
void LibtiffWrite(const std::string& path, const std::vector<uint8_t>& rows, uint32_t width,
                  uint32_t height, uint16_t samples, uint16_t bits, uint16_t photometric) {
  TIFF* tif = OpenForWrite(path, width, height, samples, bits, photometric);
  const size_t scanline = static_cast<size_t>(TIFFScanlineSize(tif));
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFWriteScanline(tif, const_cast<uint8_t*>(rows.data() + y * scanline), y, 0) < 0) {
      std::abort();
    }
  }
  TIFFClose(tif);
}

// The fair peer of the 1-bit ExportTIFF, which starts from one byte per pixel as our images
// hold them: each row of pixels (0 or 1, top row first) is packed eight to a byte, first
// pixel in the top bit, by a plain loop, then written as LibtiffWrite does.
void LibtiffWritePacking(const std::string& path, const std::vector<uint8_t>& pixels,
                         uint32_t width, uint32_t height) {
  TIFF* tif = OpenForWrite(path, width, height, 1, 1, PHOTOMETRIC_MINISBLACK);
  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = pixels.data() + static_cast<size_t>(y) * width;
    std::fill(row.begin(), row.end(), 0);
    for (uint32_t x = 0; x < width; ++x) {
      row[x / 8] |= static_cast<uint8_t>((in[x] & 1) << (7 - x % 8));
    }
    if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) std::abort();
  }
  TIFFClose(tif);
}

// One byte per pixel (0 or 1) from packed 1-bit scanlines of width pixels.
std::vector<uint8_t> Unpacked(const std::vector<uint8_t>& rows, uint32_t width, uint32_t height) {
  const size_t scanline = (width + 7) / 8;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      pixels[static_cast<size_t>(y) * width + x] = (rows[y * scanline + x / 8] >> (7 - x % 8)) & 1;
    }
  }
  return pixels;
}

// The decoded scanlines of a file.
std::vector<uint8_t> ReadRows(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) std::abort();
  uint32_t height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  const size_t scanline = static_cast<size_t>(TIFFScanlineSize(tif));
  std::vector<uint8_t> rows(scanline * height);
  for (uint32_t y = 0; y < height; ++y) TIFFReadScanline(tif, rows.data() + y * scanline, y, 0);
  TIFFClose(tif);
  return rows;
}

Pair CompareExport(CImage& image, const char* name, const std::string& dir, uint16_t samples,
                   uint16_t bits, uint16_t photometric) {
  const std::string path = dir + "/export-" + name + ".tif";
  const std::wstring wide = Wide(path);
  // Files written before (the load section's, the other side's exports) are flushed first,
  // so that neither side pays for the system writing them back.
  ::sync();
  Pair pair{MeasureMaking(
                std::string("ExportTIFF ") + name, kRepetitions,
                [&] {
                  if (!image.ExportTIFF(wide.c_str())) std::abort();
                },
                [] {}),
            {},
            {}};
  const std::vector<uint8_t> rows = ReadRows(path);
  const auto width = static_cast<uint32_t>(image.GetWidth());
  const auto height = static_cast<uint32_t>(image.GetHeight());
  ::sync();
  pair.peer = MeasureMaking(
      std::string("libtiff write loop ") + name, kRepetitions,
      [&] { LibtiffWrite(path, rows, width, height, samples, bits, photometric); }, [] {});
  if (bits == 1) {
    const std::vector<uint8_t> pixels = Unpacked(rows, width, height);
    pair.packingPeer = MeasureMaking(
        std::string("libtiff write loop packing bytes ") + name, kRepetitions,
        [&] { LibtiffWritePacking(path, pixels, width, height); }, [] {});
  }
  std::remove(path.c_str());
  return pair;
}

template <class Format>
Figures OurConversion(const std::string& name, CHiColorImage& colour) {
  std::unique_ptr<Format> image;
  Figures f = MeasureMaking(
      name, kRepetitions,
      [&] {
        image = std::make_unique<Format>();
        image->CreateFromImage(&colour, 0);
      },
      [&] { image.reset(); });
  image = std::make_unique<Format>();
  image->CreateFromImage(&colour, 0);
  f.count = Checksum(*image);
  return f;
}

// The colour page's pixels as OpenCV sees them: blue, green, red and a fourth byte, top row
// first (the page's own rows are stored bottom row first).
cv::Mat ColourMat(CHiColorImage& colour) {
  cv::Mat mat(colour.GetHeight(), colour.GetWidth(), CV_8UC4);
  for (int y = 0; y < colour.GetHeight(); ++y) {
    auto* row = mat.ptr<uint8_t>(y);
    for (int x = 0; x < colour.GetWidth(); ++x) {
      row[4 * x] = colour.GetBlue(x, y);
      row[4 * x + 1] = colour.GetGreen(x, y);
      row[4 * x + 2] = colour.GetRed(x, y);
      row[4 * x + 3] = 0;
    }
  }
  return mat;
}

Figures CvConversion(const cv::Mat& bgra, bool threshold, const std::string& suffix) {
  cv::Mat grey, bits;
  Figures f = MeasureMaking((threshold ? "cvtColor + threshold" : "cvtColor BGRA2GRAY") + suffix,
                            kRepetitions,
                            [&] {
                              cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
                              if (threshold) cv::threshold(grey, bits, 128, 1, cv::THRESH_BINARY);
                            },
                            [&] {
                              grey.release();
                              bits.release();
                            });
  cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
  if (threshold) cv::threshold(grey, bits, 128, 1, cv::THRESH_BINARY);
  f.count = static_cast<long long>(cv::sum(threshold ? bits : grey)[0]);
  return f;
}

// The conversions with both libraries on one thread, then with their default threads: ours
// and the peer's figures in turn.
std::vector<Figures> CompareConversions() {
  CHiColorImage& colour = vorlane::bench::BenchColourPage();
  const cv::Mat bgra = ColourMat(colour);
  std::vector<Figures> conversions;
  for (const bool oneThread : {true, false}) {
    vorlane::SetPixelThreads(oneThread ? 1 : 0);
    cv::setNumThreads(oneThread ? 1 : -1);
    const std::string threads = oneThread ? " (1 thread)" : "";
    conversions.push_back(
        OurConversion<CGreyScaleImage>("CGreyScaleImage::CreateFromImage" + threads, colour));
    conversions.push_back(CvConversion(bgra, false, threads));
    conversions.push_back(
        OurConversion<CBiLevelImage>("CBiLevelImage::CreateFromImage" + threads, colour));
    conversions.push_back(CvConversion(bgra, true, threads));
  }
  return conversions;
}

void ConversionRatios(const std::vector<Figures>& conversions) {
  for (size_t i = 0; i < conversions.size(); i += 2) Ratio(conversions[i], conversions[i + 1], 1.5);
}

int OneShot(int argc, char** argv) {
  const std::string mode = argv[1];
  if (mode == "none") return 0;
  if (mode == "files" && argc == 3) {
    for (Kind kind : {Kind::kGrey, Kind::kRgb, Kind::kBits}) {
      for (const Codec& codec : kCodecs) {
        WritePage(FileName(argv[2], kind, codec), kind, codec.compression);
      }
    }
    return 0;
  }
  if (mode == "load" && argc == 3) {
    std::unique_ptr<CImage> image(
        ImgLoadFromFile(Wide(argv[2]).c_str(), nullptr, nullptr, nullptr, nullptr));
    return image ? 0 : 1;
  }
  if (mode == "conversions") {
    vorlane::bench::peers::PrintHeader("checksum");
    const std::vector<Figures> conversions = CompareConversions();
    for (const Figures& f : conversions) Print(f);
    std::printf("\nRatios (ours / peer; below 1 is faster):\n");
    ConversionRatios(conversions);
    return 0;
  }
  if (mode == "convert" && argc == 3) {
    CHiColorImage& colour = vorlane::bench::BenchColourPage();
    for (int i = std::atoi(argv[2]); i > 0; --i) {
      CGreyScaleImage grey;
      grey.CreateFromImage(&colour, 0);
    }
    return 0;
  }
  if (mode == "libtiff" && argc == 3) {
    uint16_t bits = 8;
    if (TIFF* tif = TIFFOpen(argv[2], "r")) {
      TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
      TIFFClose(tif);
    }
    const Raster raster = LibtiffLoad(argv[2], bits == 1 ? Kind::kBits : Kind::kGrey);
    return raster.bytes > 0 ? 0 : 1;
  }
  std::fprintf(
      stderr, "usage: %s [files DIR | load FILE | libtiff FILE | convert N | conversions | none]\n",
      argv[0]);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The files that the loops read include four-sample RGB without an extra-samples tag:
  // keep libtiff's warning about them off the output.
  TIFFSetWarningHandler(nullptr);
  if (argc > 1) return OneShot(argc, argv);
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("vorlane-io-peers-" + std::to_string(::getpid())))
          .string();
  std::filesystem::create_directories(dir);

  std::printf(
      "A4 page %d x %d, medians of %d runs in ms (cold: fresh pages for every buffer; "
      "warm: heap kept); count = pixel checksum\n\n",
      vorlane::bench::kPageWidth, vorlane::bench::kPageHeight, kRepetitions);
  vorlane::bench::peers::PrintHeader("checksum");
  std::vector<Pair> loads;
  for (Kind kind : {Kind::kGrey, Kind::kRgb, Kind::kBits}) {
    for (const Codec& codec : kCodecs) {
      const std::string path = FileName(dir, kind, codec);
      WritePage(path, kind, codec.compression);
      loads.push_back(CompareLoad(path, kind, codec));
      Print(loads.back().ours);
      Print(loads.back().peer);
      std::remove(path.c_str());
    }
  }
  std::vector<Pair> exports;
  exports.push_back(CompareExport(vorlane::bench::BenchGreyPage(), "8-bit grey", dir, 1, 8,
                                  PHOTOMETRIC_MINISBLACK));
  exports.push_back(
      CompareExport(vorlane::bench::BenchColourPage(), "colour", dir, 4, 8, PHOTOMETRIC_RGB));
  exports.push_back(CompareExport(vorlane::bench::BenchBiLevelPage(), "1-bit", dir, 1, 1,
                                  PHOTOMETRIC_MINISBLACK));
  for (const Pair& p : exports) {
    Print(p.ours);
    Print(p.peer);
    if (!p.packingPeer.name.empty()) Print(p.packingPeer);
  }
  const std::vector<Figures> conversions = CompareConversions();
  for (const Figures& f : conversions) Print(f);
  std::filesystem::remove_all(dir);

  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  bool agree = true;
  for (const Pair& p : loads) {
    Ratio(p.ours, p.peer, 1.2);
    agree = agree && p.ours.count == p.peer.count;
  }
  // The 1-bit peer that writes rows already packed shows the cost of packing; the target is
  // judged against the peer that starts from one byte per pixel, as the load's peer ends there.
  for (const Pair& p : exports) {
    const bool packing = !p.packingPeer.name.empty();
    Ratio(p.ours, p.peer, packing ? 0 : 1.2);
    if (packing) Ratio(p.ours, p.packingPeer, 1.2);
  }
  ConversionRatios(conversions);
  // OpenCV rounds its luminance and weighs the channels slightly differently: its checksums
  // are close to ours, not equal.
  std::printf("\nLoad checksums %s.\n", agree ? "agree" : "DISAGREE");
  return agree ? 0 : 1;
}
