// Test helpers of the display: pixel conversions, a probe of the protected display state,
// and components built from runs.
#pragma once

#include <initializer_list>

#include "vorlane/vorlane.h"

// The display pixel (0x00RRGGBB) of a colour reference (red in the low byte).
inline DWORD PixelOf(unsigned long colour) {
  return (DWORD{GetRValue(colour)} << 16) | (DWORD{GetGValue(colour)} << 8) | GetBValue(colour);
}

inline DWORD PixelAt(CBitmap& bitmap, int x, int y) {
  return bitmap.Pixels()[static_cast<size_t>(y) * bitmap.Width() + x];
}

// Opens the pixel blend of a format.
template <class Format>
struct DisplayProbe : Format {
  void Blend(int x, int y, int r, int g, int b, unsigned char* bits, int bytesPerLine) {
    this->OverlayColor(x, y, r, g, b, bits, bytesPerLine);
  }
};

struct Run {
  int y, xl, xr;
};

// Appends a component of the given runs and type word to image's list.
inline CComp* AddComponent(CImage& image, std::initializer_list<Run> runs,
                           unsigned short type = 0) {
  CComp* comp = image.CreateNewComponent();
  for (const Run& r : runs) comp->AddRun(r.y, r.xl, r.xr, 1);
  comp->SetType(type, 0);
  return comp;
}
