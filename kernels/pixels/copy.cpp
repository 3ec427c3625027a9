// Owned pixel arrays and whole-buffer copies.
#include "kernels/pixels/copy.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "kernels/parallel/row_bands.h"
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
  CopyBytes(dst, src, BufferBytes(bytesPerLine, height));
}

namespace {

// Calls fn(begin, end) for the byte ranges of bands of 64 KiB blocks of [0, bytes), the bands
// on all cores at once when the block is large.
template <class Fn>
void ForEachByteBand(size_t bytes, Fn&& fn) {
  constexpr size_t kBlock = size_t{1} << 16;
  const size_t blocks = (bytes + kBlock - 1) / kBlock;
  if (blocks > static_cast<size_t>(INT_MAX)) {
    fn(size_t{0}, bytes);
    return;
  }
  ForEachRowBand(0, static_cast<int>(blocks), static_cast<std::int64_t>(bytes) / 4,
                 [&](int first, int last) {
                   fn(static_cast<size_t>(first) * kBlock,
                      std::min(bytes, static_cast<size_t>(last) * kBlock));
                 });
}

}  // namespace

void CopyBytes(unsigned char* dst, const unsigned char* src, size_t bytes) {
  if (bytes == 0) return;
  ForEachByteBand(
      bytes, [&](size_t begin, size_t end) { std::memcpy(dst + begin, src + begin, end - begin); });
}

void FillBytes(unsigned char* dst, unsigned char value, size_t bytes) {
  if (bytes == 0) return;
  ForEachByteBand(bytes,
                  [&](size_t begin, size_t end) { std::memset(dst + begin, value, end - begin); });
}

std::unique_ptr<DWORD[]> CopyPalette(const DWORD* src) {
  if (!src) return nullptr;
  auto palette = std::make_unique_for_overwrite<DWORD[]>(256);
  std::memcpy(palette.get(), src, 256 * sizeof(DWORD));
  return palette;
}

}  // namespace vorlane::detail
