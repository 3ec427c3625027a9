// PNG decoding for tests (libpng's simplified reading).
#include "support/png_files.h"

#include <png.h>

bool ReadPng(const std::filesystem::path& path, DecodedPng& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  // 8-bit RGB or a palette of opaque colours, read as RGB; nothing with alpha or 16 bits.
  if ((image.format & (PNG_FORMAT_FLAG_ALPHA | PNG_FORMAT_FLAG_LINEAR)) != 0) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.clear();
  for (size_t i = 0; i < bytes.size(); i += 3)
    out.pixels.push_back((DWORD{bytes[i]} << 16) | (DWORD{bytes[i + 1]} << 8) | bytes[i + 2]);
  return true;
}
