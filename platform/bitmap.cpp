// CBitmap as a 32-bit pixel array.
#include "platform/bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
// Largest bitmap held: 2^28 pixels (1 GiB), far above any page.
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;
}  // namespace

BOOL CBitmap::CreateBitmap(int width, int height, UINT /*planes*/, UINT bitsPerPixel,
                           const void* bits) {
  if (width < 0 || height < 0 || int64_t{width} * height > kMaxBitmapPixels) return FALSE;
  m_width = width;
  m_height = height;
  m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  m_exists = true;
  // An empty bitmap has no pixel storage: its data() may be null, which memcpy must not get.
  if (bits && bitsPerPixel == 32 && !m_pixels.empty()) {
    std::memcpy(m_pixels.data(), bits, m_pixels.size() * sizeof(DWORD));
  }
  return TRUE;
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
  const size_t n = std::min<size_t>(count, m_pixels.size() * sizeof(DWORD));
  if (n > 0) std::memcpy(bits, m_pixels.data(), n);
  return static_cast<DWORD>(n);
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits) {
  if (!m_exists || !bits) return 0;
  const size_t n = std::min<size_t>(count, m_pixels.size() * sizeof(DWORD));
  if (n > 0) std::memcpy(m_pixels.data(), bits, n);
  return static_cast<DWORD>(n);
}

BOOL CBitmap::DeleteObject() {
  if (!m_exists) return FALSE;
  m_exists = false;
  m_width = m_height = 0;
  m_pixels.clear();
  m_pixels.shrink_to_fit();
  return TRUE;
}

void* CBitmap::GetSafeHandle() const { return m_exists ? const_cast<CBitmap*>(this) : nullptr; }
