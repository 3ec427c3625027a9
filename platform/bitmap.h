// Bitmap records and CBitmap: a device bitmap stood in for by a 32-bit pixel array
// (bytes blue, green, red, 0; top row first).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/types.h"

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40, "bitmap header is 40 bytes");

#ifndef BI_RGB
#define BI_RGB 0
#endif

class CGdiObject {
 public:
  virtual ~CGdiObject() = default;
  virtual BOOL DeleteObject() = 0;
  virtual void* GetSafeHandle() const = 0;
};

class CBitmap : public CGdiObject {
 public:
  CBitmap() = default;
  ~CBitmap() override = default;
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  // Creates a width x height bitmap; bits (rows top row first, packed at the given depth)
  // may be null for a black bitmap. Only 32 bits per pixel are held; other depths are
  // accepted and stored as 32-bit pixels. Returns FALSE for a negative size.
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
  // Device-compatible bitmap: the same 32-bit pixel array.
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  // Non-zero when a bitmap exists; fills *bm (bmBits is null, as for device bitmaps).
  int GetBitmap(BITMAP* bm) const;
  // Copy at most count bytes out of or into the pixel array; return the bytes copied.
  DWORD GetBitmapBits(DWORD count, void* bits) const;
  DWORD SetBitmapBits(DWORD count, const void* bits);
  BOOL DeleteObject() override;
  void* GetSafeHandle() const override;

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // The pixel array: Width() * Height() values 0x00RRGGBB (bytes B, G, R, 0), top row first.
  DWORD* Pixels() { return m_count ? m_pixels.get() : nullptr; }
  const DWORD* Pixels() const { return m_count ? m_pixels.get() : nullptr; }

 private:
  // Gives back a pixel array of CreateBitmap.
  struct PixelsRelease {
    void operator()(DWORD* pixels) const;
  };
  bool m_exists = false;
  int m_width = 0;
  int m_height = 0;
  size_t m_count = 0;  // pixels held
  // Page-sized arrays are reused page blocks, present when handed out: a new display bitmap
  // of a page costs no page faults once one has been released.
  std::unique_ptr<DWORD[], PixelsRelease> m_pixels;
};
