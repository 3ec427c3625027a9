// The PNG writer of display bitmaps (libpng).
#include "vorlane/png.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "kernels/io/temporary_name.h"

namespace vorlane {
namespace {

// Encodes width x height pixels (0x00RRGGBB, top row first) into file as 8-bit RGB.
// Returns false when libpng reports an error. No C++ object with a destructor lives in a
// frame that libpng's error jump crosses.
bool EncodeRgb(FILE* file, int width, int height, const DWORD* pixels) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const DWORD* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<png_byte>(src[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const CBitmap& bitmap, const std::filesystem::path& path) {
  const DWORD* pixels = bitmap.Pixels();
  if (!pixels || bitmap.Width() <= 0 || bitmap.Height() <= 0 || path.empty() ||
      !path.has_filename()) {
    return false;
  }
  // A temporary file in the target directory, so that the final rename stays on one file
  // system and a failed write never leaves a partial file under the caller's name. It is
  // created with the usual permissions (0666 less the umask), unlike mkstemp's 0600.
  const std::string temp = detail::TemporaryNameBeside(path).string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = EncodeRgb(file, bitmap.Width(), bitmap.Height(), pixels);
  ok = (std::fflush(file) == 0) && ok;
  ok = (std::fclose(file) == 0) && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temp, path, error);
  if (!ok || error) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace vorlane
