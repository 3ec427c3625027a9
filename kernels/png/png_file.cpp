// Encoded PNG files written under a temporary name and renamed into place.
#include "kernels/png/png_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "kernels/io/temporary_name.h"

namespace vorlane::detail {

bool WritePngFile(const PngPicture& picture, const std::filesystem::path& path) {
  if (path.empty() || !path.has_filename()) return false;
  std::vector<unsigned char> encoded;
  if (!EncodePng(picture, kViewCompressionLevel, encoded)) return false;
  // A temporary file in the target directory, so that the final rename stays on one file
  // system and a failed write never leaves a partial file under the caller's name. It is
  // created with the usual permissions (0666 less the umask), unlike mkstemp's 0600.
  const std::string temp = TemporaryNameBeside(path).string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = std::fwrite(encoded.data(), 1, encoded.size(), file) == encoded.size();
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

}  // namespace vorlane::detail
