// Side-by-side timing of page files as scanners write them: the A4 page loaded by the
// library's page readers (vorlane::LoadPage) against the plain decoding loop of libpng,
// libjpeg-turbo and libtiff into one buffer, for PNG, JPEG, 4-bit and JPEG-in-TIFF grey and
// Group 4 bi-level files; then the bi-level page written as Group 4 against uncompressed,
// with the file sizes.
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
// jpeglib.h needs FILE declared first.
#include <jpeglib.h>

#include <string>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/internal/format_access.h"
#include "support/picture_files.h"
#include "support/tiff_files.h"
#include "vorlane/io/pages.h"
#include "vorlane/io/tiff_export.h"

namespace {

namespace fs = std::filesystem;
using vorlane::bench::peers::Figures;
using vorlane::bench::peers::MeasureMaking;
using vorlane::bench::peers::Print;
using vorlane::bench::peers::PrintHeader;
using vorlane::bench::peers::Ratio;

constexpr int kRepetitions = 11;

std::vector<uint8_t> pixels;  // what a peer decodes into; released after each run

void LibpngRead(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_init_io(png, file);
  png_read_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  pixels.resize(rowBytes * height);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
}

void LibjpegRead(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const size_t rowBytes = size_t{info.output_width} * info.output_components;
  pixels.resize(rowBytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + info.output_scanline * rowBytes;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
}

void LibtiffRead(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  uint32_t height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  uint16_t photometric = 0, compression = 0;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  // JPEG in TIFF is decoded to its samples, as the library reads it.
  if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  const auto rowBytes = static_cast<size_t>(TIFFScanlineSize(tif));
  pixels.resize(rowBytes * height);
  for (uint32_t y = 0; y < height; ++y) TIFFReadScanline(tif, pixels.data() + y * rowBytes, y);
  TIFFClose(tif);
}

// The rows of an image as a picture of one byte per pixel.
picturetest::Picture PictureOf(CImage& image) {
  const auto view = vorlane::detail::FormatAccess::View(&image);
  picturetest::Picture p{view.width, view.height, 1, 8, {}};
  for (int y = 0; y < view.height; ++y)
    p.samples.insert(p.samples.end(), view.rows[y], view.rows[y] + view.width);
  return p;
}

bool WriteTiff(const std::string& path, const picturetest::Picture& p, uint16_t bits,
               uint16_t compression) {
  tifftest::TiffFlavour f{
      static_cast<uint32_t>(p.width),
      static_cast<uint32_t>(p.height),
      bits,
      1,
      static_cast<uint16_t>(bits == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK),
      compression};
  f.rowsPerStrip = 64;
  return tifftest::WriteTiffFile(
      path, f, {tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int) -> uint32_t {
        const uint32_t v = p.samples[y * static_cast<uint32_t>(p.width) + x];
        return bits == 1 ? 1 - v : v >> (8 - bits);
      })});
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("vorlane-page-files-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const picturetest::Picture grey = PictureOf(vorlane::bench::BenchGreyPage());
  const picturetest::Picture bits = PictureOf(vorlane::bench::BenchBiLevelPage());
  const struct {
    const char* name;
    std::string file;
    bool written;
    void (*peer)(const std::string&);
    const char* peerName;
  } files[] = {
      {"PNG 8-bit grey", (dir / "grey.png").string(),
       picturetest::WritePng((dir / "grey.png").string(), grey), LibpngRead, "libpng"},
      {"JPEG grey q90", (dir / "grey.jpg").string(),
       picturetest::WriteJpeg((dir / "grey.jpg").string(), grey, 90), LibjpegRead, "libjpeg-turbo"},
      {"TIFF 4-bit grey", (dir / "grey4.tif").string(),
       WriteTiff((dir / "grey4.tif").string(), grey, 4, COMPRESSION_NONE), LibtiffRead, "libtiff"},
      {"TIFF JPEG grey", (dir / "greyjpeg.tif").string(),
       WriteTiff((dir / "greyjpeg.tif").string(), grey, 8, COMPRESSION_JPEG), LibtiffRead,
       "libtiff"},
      {"TIFF G4 bi-level", (dir / "bits-g4.tif").string(),
       WriteTiff((dir / "bits-g4.tif").string(), bits, 1, COMPRESSION_CCITTFAX4), LibtiffRead,
       "libtiff"},
  };
  std::printf("Loading the A4 page (%d x %d), times in ms:\n", vorlane::bench::kPageWidth,
              vorlane::bench::kPageHeight);
  PrintHeader();
  std::unique_ptr<CImage> loaded;
  for (const auto& f : files) {
    if (!f.written) {
      std::printf("%s: cannot be written\n", f.name);
      continue;
    }
    const Figures ours = MeasureMaking(
        std::string("LoadPage ") + f.name, kRepetitions,
        [&] { loaded = std::move(vorlane::LoadPage(f.file).image); }, [&] { loaded.reset(); });
    const Figures peer = MeasureMaking(
        std::string(f.peerName) + " " + f.name, kRepetitions, [&] { f.peer(f.file); },
        [] { std::vector<uint8_t>().swap(pixels); });
    Print(ours);
    Print(peer);
    Ratio(ours, peer, 0.0);
  }

  std::printf("\nWriting the bi-level page, times in ms and sizes:\n");
  PrintHeader();
  CBiLevelImage& page = vorlane::bench::BenchBiLevelPage();
  const std::string g4 = (dir / "out-g4.tif").string(), plain = (dir / "out-plain.tif").string();
  std::string error;
  const Figures compact = MeasureMaking(
      "ExportTiff Group 4", kRepetitions,
      [&] {
        vorlane::ExportTiff(page, g4, {vorlane::TiffCompression::g4, 300}, error);
      },
      [] {});
  const Figures uncompressed = MeasureMaking(
      "ExportTIFF uncompressed", kRepetitions,
      [&] { page.ExportTIFF(std::wstring(plain.begin(), plain.end()).c_str()); }, [] {});
  Print(compact);
  Print(uncompressed);
  std::printf("sizes: Group 4 %ju bytes, uncompressed %ju bytes (%.1fx smaller)\n",
              static_cast<uintmax_t>(fs::file_size(g4)),
              static_cast<uintmax_t>(fs::file_size(plain)),
              static_cast<double>(fs::file_size(plain)) / static_cast<double>(fs::file_size(g4)));
  fs::remove_all(dir);
  return 0;
}
