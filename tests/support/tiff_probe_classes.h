// Image classes derived as a host would derive them, for the TIFF tests: they expose the
// pixel rows, and one of them reads palette files.
#pragma once

#include "vorlane/vorlane.h"

namespace tifftest {

class CTiffBiLevelProbe : public CBiLevelImage {
  DECLARE_DYNCREATE(CTiffBiLevelProbe)
 public:
  const unsigned char* Row(int y) const { return m_ppLines[y]; }
  int BytesPerLine() const { return m_nBytesPerLine; }
};

class CTiffGreyProbe : public CGreyScaleImage {
  DECLARE_DYNCREATE(CTiffGreyProbe)
 public:
  const unsigned char* Row(int y) const { return m_ppLines[y]; }
  unsigned char* MutableRow(int y) { return m_ppLines[y]; }
  int BytesPerLine() const { return m_nBytesPerLine; }
};

class CTiffHiProbe : public CHiColorImage {
  DECLARE_DYNCREATE(CTiffHiProbe)
 public:
  const unsigned char* Row(int y) const { return m_ppLines[y]; }
  unsigned char* MutableRow(int y) { return m_ppLines[y]; }
  int BytesPerLine() const { return m_nBytesPerLine; }
};

// Reads the size and colour map of palette files (no pixels).
class CTiffPaletteReader : public CLoColorImage {
  DECLARE_DYNCREATE(CTiffPaletteReader)
 public:
  int CreateFromTIFF(TIFF* tif, const wchar_t* fileName) override;
  // Red of palette entry 1 as the file holds it (16 bits), or -1.
  int m_secondRed = -1;
};

}  // namespace tifftest
