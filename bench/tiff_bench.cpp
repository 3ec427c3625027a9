// ImgLoadFromFile and ExportTIFF of an uncompressed A4 page in each format, next to a plain
// libtiff scanline loop over the same file; cold (every buffer fresh from the system) and
// warm (freed memory reused). The exports also with the host's figure (_Host: a copy of the
// page, or of its rows, made, then written); a load makes its image anew by itself, so its
// figures are the host's.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/host_figure.h"
#include "bench_pages.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::BenchBiLevelPage;
using vorlane::bench::BenchColourPage;
using vorlane::bench::BenchGreyPage;

// Cold: every allocation of 128 KiB or more is a fresh mapping whose pages fault in on first
// touch, as in a process that loads one page. Warm: freed memory stays in the heap and the
// next iteration reuses it, as in a process that loads page after page.
void SetMemoryMode(bool warm) {
  mallopt(M_MMAP_THRESHOLD, warm ? 512 * 1024 * 1024 : 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, warm ? 1024 * 1024 * 1024 : 128 * 1024);
  malloc_trim(0);
}

std::string TempName(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("vorlane-bench-" + std::to_string(::getpid()) + "-" + name + ".tif"))
      .string();
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A format's bench page, its file as ExportTIFF writes it, and that file's decoded rows.
struct PageFile {
  CImage* image = nullptr;
  std::string path;
  std::string outPath;
  uint16_t samples = 0, bits = 0, photometric = 0;
  std::vector<uint8_t> rows;  // scanlines of the file, top row first
  tmsize_t scanline = 0;
  uint32_t width = 0, height = 0;
};

PageFile MakePageFile(CImage& image, const char* name, uint16_t samples, uint16_t bits,
                      uint16_t photometric) {
  PageFile page;
  page.image = &image;
  page.path = TempName(name);
  page.outPath = TempName((std::string(name) + "-out").c_str());
  page.samples = samples;
  page.bits = bits;
  page.photometric = photometric;
  if (!image.ExportTIFF(Wide(page.path).c_str())) std::abort();
  TIFF* tif = TIFFOpen(page.path.c_str(), "r");
  if (!tif) std::abort();
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
  page.scanline = TIFFScanlineSize(tif);
  page.rows.resize(static_cast<size_t>(page.scanline) * page.height);
  for (uint32_t y = 0; y < page.height; ++y) {
    TIFFReadScanline(tif, page.rows.data() + y * page.scanline, y, 0);
  }
  TIFFClose(tif);
  return page;
}

template <typename Format>
PageFile& Page();
template <>
PageFile& Page<CBiLevelImage>() {
  static PageFile page = MakePageFile(BenchBiLevelPage(), "bits", 1, 1, PHOTOMETRIC_MINISBLACK);
  return page;
}
template <>
PageFile& Page<CGreyScaleImage>() {
  static PageFile page = MakePageFile(BenchGreyPage(), "grey", 1, 8, PHOTOMETRIC_MINISBLACK);
  return page;
}
template <>
PageFile& Page<CHiColorImage>() {
  static PageFile page = MakePageFile(BenchColourPage(), "colour", 4, 8, PHOTOMETRIC_RGB);
  return page;
}

// The plain loops open the files with libtiff's global handlers: keep their warnings (a
// four-sample RGB file without an extra-samples tag) off the benchmark output.
const bool g_quietLibtiff = [] {
  TIFFSetWarningHandler(nullptr);
  return true;
}();

// Removes the files when the benchmarks end.
struct Cleanup {
  ~Cleanup() {
    for (const char* name : {"bits", "grey", "colour", "bits-out", "grey-out", "colour-out"}) {
      std::remove(TempName(name).c_str());
    }
  }
} g_cleanup;

template <typename Format>
void BM_TiffLoad(benchmark::State& state) {
  PageFile& page = Page<Format>();
  const std::wstring path = Wide(page.path);
  SetMemoryMode(state.range(0) != 0);
  for (auto _ : state) {
    std::unique_ptr<CImage> image(
        ImgLoadFromFile(path.c_str(), nullptr, nullptr, nullptr, nullptr));
    if (!image) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.rows.size()));
}

// The plain libtiff loop: open, read every scanline into a buffer of the whole picture, close.
template <typename Format>
void BM_LibtiffReadLoop(benchmark::State& state) {
  PageFile& page = Page<Format>();
  SetMemoryMode(state.range(0) != 0);
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(page.path.c_str(), "r");
    uint32_t height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    const tmsize_t scanline = TIFFScanlineSize(tif);
    auto pixels = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(scanline) * height);
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tif, pixels.get() + y * scanline, y, 0) < 0) state.SkipWithError("read");
    }
    TIFFClose(tif);
    benchmark::DoNotOptimize(pixels.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.rows.size()));
}

template <typename Format>
void BM_TiffExport(benchmark::State& state, bool host) {
  PageFile& page = Page<Format>();
  const std::wstring path = Wide(page.outPath);
  const auto write = [&](CImage& image) {
    if (!image.ExportTIFF(path.c_str())) state.SkipWithError("export failed");
  };
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return vorlane::bench::FreshCopy(vorlane::bench::BenchPage<Format>()); },
        [&](auto& copy) { write(*copy); });
  } else {
    SetMemoryMode(state.range(0) != 0);
    for (auto _ : state) write(*page.image);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.rows.size()));
}

// The plain libtiff loop: open, set the same tags, write every scanline of the file's rows,
// close.
template <typename Format>
void BM_LibtiffWriteLoop(benchmark::State& state, bool host) {
  PageFile& page = Page<Format>();
  const auto write = [&](std::vector<uint8_t>& rows) {
    TIFF* tif = TIFFOpen(page.outPath.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
    for (uint32_t y = 0; y < page.height; ++y) {
      if (TIFFWriteScanline(tif, rows.data() + y * page.scanline, y, 0) < 0) {
        state.SkipWithError("write");
      }
    }
    TIFFClose(tif);
  };
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return std::vector<uint8_t>(page.rows); }, write);
  } else {
    SetMemoryMode(state.range(0) != 0);
    for (auto _ : state) write(page.rows);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.rows.size()));
}

#define VORLANE_TIFF_BENCH(fn, format) \
  BENCHMARK_TEMPLATE(fn, format)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
#define VORLANE_TIFF_BENCH_WITH_HOST(fn, format) \
  VORLANE_BENCHMARK_WITH_HOST(fn<format>, vorlane::bench::ColdAndWarm, vorlane::bench::Milliseconds)

VORLANE_TIFF_BENCH(BM_TiffLoad, CBiLevelImage);
VORLANE_TIFF_BENCH(BM_LibtiffReadLoop, CBiLevelImage);
VORLANE_TIFF_BENCH(BM_TiffLoad, CGreyScaleImage);
VORLANE_TIFF_BENCH(BM_LibtiffReadLoop, CGreyScaleImage);
VORLANE_TIFF_BENCH(BM_TiffLoad, CHiColorImage);
VORLANE_TIFF_BENCH(BM_LibtiffReadLoop, CHiColorImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_TiffExport, CBiLevelImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_LibtiffWriteLoop, CBiLevelImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_TiffExport, CGreyScaleImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_LibtiffWriteLoop, CGreyScaleImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_TiffExport, CHiColorImage);
VORLANE_TIFF_BENCH_WITH_HOST(BM_LibtiffWriteLoop, CHiColorImage);

}  // namespace
