// Owned pixel arrays that release themselves until handed over, and whole-buffer copies of
// pixel buffers and palettes.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/types.h"

namespace vorlane::detail {

// Bytes of a buffer of height rows of bytesPerLine bytes (both non-negative).
inline size_t BufferBytes(int bytesPerLine, int height) {
  return static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
}

// A pixel buffer of bytesPerLine x height bytes (content undefined) with a line table of
// height entries (not yet set), as AllocatePixelArrays makes them. Releases both unless
// HandOver passed them on. Sizes are non-negative and within the buffer limit.
class OwnedPixelArrays {
 public:
  OwnedPixelArrays(int bytesPerLine, int height);
  ~OwnedPixelArrays();
  OwnedPixelArrays(const OwnedPixelArrays&) = delete;
  OwnedPixelArrays& operator=(const OwnedPixelArrays&) = delete;

  unsigned char* Data() const { return m_data; }
  unsigned char** Lines() const { return m_lines; }
  // Stores the arrays into data and lines, which must hold nothing that needs releasing,
  // and gives up ownership.
  void HandOver(unsigned char*& data, unsigned char**& lines);

 private:
  unsigned char* m_data;
  unsigned char** m_lines;
};

// Copies the whole buffer (bytesPerLine x height bytes, row padding included) from src
// into dst; neither may be null unless the size is 0.
void CopyBuffer(unsigned char* dst, const unsigned char* src, int bytesPerLine, int height);

// Copies bytes bytes from src into dst (blocks that do not overlap), large blocks on several
// cores at once.
void CopyBytes(unsigned char* dst, const unsigned char* src, size_t bytes);

// Sets bytes bytes at dst to value, large blocks on several cores at once.
void FillBytes(unsigned char* dst, unsigned char value, size_t bytes);

// A new 256-entry palette (from new[]) copied from src; null when src is null.
std::unique_ptr<DWORD[]> CopyPalette(const DWORD* src);

}  // namespace vorlane::detail
