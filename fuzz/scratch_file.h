// A file in the temporary directory for fuzz targets whose readers take paths.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzing {

// A file in the temporary directory that lives as long as the process.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vorlane-fuzz-XXXXXX.tif";
    m_fd = ::mkstemps(pattern.data(), 4);
    if (m_fd < 0) std::abort();
    m_path = pattern;
    m_wide.assign(m_path.begin(), m_path.end());
  }
  ~ScratchFile() {
    ::close(m_fd);
    ::unlink(m_path.c_str());
  }
  // Replaces the content by size bytes of data.
  void Fill(const uint8_t* data, size_t size) {
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, data, size, 0) != static_cast<ssize_t>(size)) {
      std::abort();
    }
  }
  const wchar_t* wide() const { return m_wide.c_str(); }
  const char* path() const { return m_path.c_str(); }

 private:
  int m_fd = -1;
  std::string m_path;
  std::wstring m_wide;
};

}  // namespace fuzzing
