// CBitmap as a 32-bit pixel array.
#include "platform/bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/internal/page_blocks.h"

namespace {
// Largest bitmap held: 2^28 pixels (1 GiB), far above any page.
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;
}  // namespace

BOOL CBitmap::CreateBitmap(int width, int height, UINT /*planes*/, UINT bitsPerPixel,
                           const void* bits) {
  if (width < 0 || height < 0 || int64_t{width} * height > kMaxBitmapPixels) return FALSE;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  // The new array is made before the old one goes: bits may point into it.
  std::unique_ptr<DWORD[], PixelsRelease> pixels;
  if (count > 0) {
    const size_t bytes = count * sizeof(DWORD);
    if (bytes >= vorlane::detail::kPageBlockFrom)
      pixels.reset(reinterpret_cast<DWORD*>(vorlane::detail::TakePageBlock(bytes)));
    if (!pixels) pixels.reset(new (std::nothrow) DWORD[count]);
    if (!pixels) return FALSE;
    if (bits && bitsPerPixel == 32) {
      std::memcpy(pixels.get(), bits, bytes);
    } else {
      std::fill_n(pixels.get(), count, DWORD{0});
    }
  }
  m_pixels = std::move(pixels);
  m_count = count;
  m_width = width;
  m_height = height;
  m_exists = true;
  return TRUE;
}

void CBitmap::PixelsRelease::operator()(DWORD* pixels) const {
  if (!vorlane::detail::ReturnPageBlock(reinterpret_cast<unsigned char*>(pixels))) delete[] pixels;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int width, int height) {
  return CreateBitmap(width, height, 1, 32, nullptr);
}

int CBitmap::GetBitmap(BITMAP* bm) const {
  if (!m_exists) return 0;
  if (bm) {
    bm->bmType = 0;
    bm->bmWidth = m_width;
    bm->bmHeight = m_height;
    bm->bmWidthBytes = m_width * 4;
    bm->bmPlanes = 1;
    bm->bmBitsPixel = 32;
    bm->bmBits = nullptr;
  }
  return static_cast<int>(sizeof(BITMAP));
}

DWORD CBitmap::GetBitmapBits(DWORD count, void* bits) const {
  if (!m_exists || !bits) return 0;
  const size_t n = std::min<size_t>(count, m_count * sizeof(DWORD));
  if (n > 0) std::memcpy(bits, m_pixels.get(), n);
  return static_cast<DWORD>(n);
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits) {
  if (!m_exists || !bits) return 0;
  const size_t n = std::min<size_t>(count, m_count * sizeof(DWORD));
  if (n > 0) std::memcpy(m_pixels.get(), bits, n);
  return static_cast<DWORD>(n);
}

BOOL CBitmap::DeleteObject() {
  if (!m_exists) return FALSE;
  m_exists = false;
  m_width = m_height = 0;
  m_pixels.reset();
  m_count = 0;
  return TRUE;
}

void* CBitmap::GetSafeHandle() const { return m_exists ? const_cast<CBitmap*>(this) : nullptr; }
