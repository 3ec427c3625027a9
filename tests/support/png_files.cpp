// PNG decoding for tests (libpng).
#include "support/png_files.h"

#include <png.h>

#include <cstdio>

namespace {

// Decodes file into out; false on any libpng error or a format other than 8-bit RGB.
bool DecodeRgb(FILE* file, DecodedPng& out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  std::vector<png_byte> row;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 8) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  row.resize(static_cast<size_t>(out.width) * 3);
  for (int y = 0; y < out.height; ++y) {
    png_read_row(png, row.data(), nullptr);
    for (int x = 0; x < out.width; ++x) {
      out.pixels[static_cast<size_t>(y) * out.width + x] =
          (DWORD{row[3 * x]} << 16) | (DWORD{row[3 * x + 1]} << 8) | row[3 * x + 2];
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool ReadPng(const std::filesystem::path& path, DecodedPng& out) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const bool ok = DecodeRgb(file, out);
  std::fclose(file);
  return ok;
}
