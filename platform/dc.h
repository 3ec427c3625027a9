// CDC: a device context stood in for by the bitmap selected into it, and the raster
// operations of copies onto it.
#pragma once

#include "platform/bitmap.h"

#ifndef SRCCOPY
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define NOTSRCCOPY 0x00330008
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
#endif

class CDC {
 public:
  CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // Selects bitmap as the drawing surface (null: none); returns the previous one.
  CBitmap* SelectObject(CBitmap* bitmap) {
    CBitmap* previous = m_bitmap;
    m_bitmap = bitmap;
    return previous;
  }
  // The selected bitmap, or null.
  CBitmap* GetSelectedBitmap() const { return m_bitmap; }

 private:
  CBitmap* m_bitmap = nullptr;
};
