// Owned pixel arrays and whole-buffer copies.
#include "kernels/pixels/copy.h"

#include <cstring>

#include "kernels/pixels/pixel_arrays.h"

namespace vorlane::detail {

OwnedPixelArrays::OwnedPixelArrays(int bytesPerLine, int height) {
  const PixelArrays arrays = AllocatePixelArrays(bytesPerLine, height);
  m_data = arrays.data;
  m_lines = arrays.lines;
}

OwnedPixelArrays::~OwnedPixelArrays() { FreePixelArrays(m_data, m_lines); }

void OwnedPixelArrays::HandOver(unsigned char*& data, unsigned char**& lines) {
  data = m_data;
  lines = m_lines;
  m_data = nullptr;
  m_lines = nullptr;
}

void CopyBuffer(unsigned char* dst, const unsigned char* src, int bytesPerLine, int height) {
  const size_t bytes = BufferBytes(bytesPerLine, height);
  if (bytes > 0) std::memcpy(dst, src, bytes);
}

std::unique_ptr<DWORD[]> CopyPalette(const DWORD* src) {
  if (!src) return nullptr;
  auto palette = std::make_unique_for_overwrite<DWORD[]>(256);
  std::memcpy(palette.get(), src, 256 * sizeof(DWORD));
  return palette;
}

}  // namespace vorlane::detail
