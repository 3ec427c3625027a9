// Builders of PNG and JPEG files for the tests of the page readers.
#include "support/picture_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE declared first.
#include <jpeglib.h>

namespace picturetest {

bool WritePng(const std::string& path, const Picture& p, long pixelsPerMetre) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    static constexpr int kTypes[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                     PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height),
                 p.bits, kTypes[p.channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (pixelsPerMetre >= 0)
      png_set_pHYs(png, info, static_cast<png_uint_32>(pixelsPerMetre),
                   static_cast<png_uint_32>(pixelsPerMetre), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const size_t rowBytes = (static_cast<size_t>(p.width) * p.channels * p.bits + 7) / 8;
    for (int y = 0; y < p.height; ++y)
      png_write_row(png, const_cast<png_bytep>(p.samples.data() + y * rowBytes));
    png_write_end(png, info);
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return ok;
}

bool WriteJpeg(const std::string& path, const Picture& p, int quality, int unit, int density) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(p.width);
  info.image_height = static_cast<JDIMENSION>(p.height);
  info.input_components = p.channels;
  info.in_color_space = p.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.density_unit = static_cast<UINT8>(unit);
  info.X_density = info.Y_density = static_cast<UINT16>(density);
  jpeg_start_compress(&info, TRUE);
  const size_t rowBytes = static_cast<size_t>(p.width) * p.channels;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(p.samples.data() + info.next_scanline * rowBytes);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

}  // namespace picturetest
