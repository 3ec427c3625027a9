// The PNG writer of display bitmaps.
#include "vorlane/png.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "kernels/png/png_encoder.h"

namespace vorlane {
namespace {

// Writes all of bytes to file; false on a write error.
bool WriteAll(FILE* file, const std::vector<unsigned char>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool WritePng(const CBitmap& bitmap, const std::filesystem::path& path) {
  const DWORD* pixels = bitmap.Pixels();
  if (!pixels || bitmap.Width() <= 0 || bitmap.Height() <= 0 || path.empty() ||
      !path.has_filename()) {
    return false;
  }
  // Few colours (components, overlays of labels) make a palette picture, a quarter of the
  // bytes to deflate; photographs of pages stay RGB.
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
  const auto* argb = reinterpret_cast<const std::uint32_t*>(pixels);
  detail::PngPicture picture;
  if (!detail::PalettePicture(argb, bitmap.Width(), bitmap.Height(), picture))
    detail::RgbPicture(argb, bitmap.Width(), bitmap.Height(), picture);
  std::vector<unsigned char> encoded;
  if (!detail::EncodePng(picture, detail::kViewCompressionLevel, encoded)) return false;
  // A temporary file in the target directory, so that the final rename stays on one file
  // system and a failed write never leaves a partial file under the caller's name. It is
  // created with the usual permissions (0666 less the umask), unlike mkstemp's 0600.
  static std::atomic<unsigned> counter{0};
  std::string name = ".";
  name += path.filename().string();
  name += '.';
  name += std::to_string(::getpid());
  name += '.';
  name += std::to_string(counter++);
  name += ".tmp";
  const std::string temp = (path.parent_path() / name).string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = WriteAll(file, encoded);
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
