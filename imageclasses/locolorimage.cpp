// CLoColorImage: storage, palette access and the colour interface through the palette.
#include "imageclasses/locolorimage.h"

#include <cstdlib>

#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"

IMPLEMENT_SERIAL(CLoColorImage, CImage, VERSIONABLE_SCHEMA | 1)

CLoColorImage::CLoColorImage()
    : m_pData(nullptr),
      m_ppLines(nullptr),
      m_pPalette(nullptr),
      m_pBackupData(nullptr),
      m_ppBackupLines(nullptr),
      m_pBackupPalette(nullptr) {
  m_dwType = IMAGE_TYPE_LOCOLOR;
  m_nBitsPerPixel = 8;
}

CLoColorImage::~CLoColorImage() { CLoColorImage::FreeMem(); }

void CLoColorImage::FreeMem() {
  CImage::FreeMem();
  // The palette follows the pixel arrays: owned or shared with them.
  if (!m_bArraysByReference) delete[] m_pPalette;
  m_pPalette = nullptr;
  if (m_bBackup) {
    delete[] m_pBackupPalette;
    m_pBackupPalette = nullptr;
  }
  ReleasePixels(m_pData, m_ppLines, m_pBackupData, m_ppBackupLines);
}

unsigned char CLoColorImage::GetPaletteRed(int i) {
  return m_pPalette && i >= 0 && i < 256 ? GetRValue(m_pPalette[i]) : static_cast<unsigned char>(i);
}
unsigned char CLoColorImage::GetPaletteGreen(int i) {
  return m_pPalette && i >= 0 && i < 256 ? GetGValue(m_pPalette[i]) : static_cast<unsigned char>(i);
}
unsigned char CLoColorImage::GetPaletteBlue(int i) {
  return m_pPalette && i >= 0 && i < 256 ? GetBValue(m_pPalette[i]) : static_cast<unsigned char>(i);
}

int CLoColorImage::GetClosestPaletteColor(unsigned char r, unsigned char g, unsigned char b) {
  // Distance: sum of the absolute channel differences (city-block), so that no entry can
  // win by a negative difference cancelling a positive one.
  int best = 0;
  int bestDistance = 765;
  for (int i = 0; i < 256; ++i) {
    const int d = std::abs(r - GetPaletteRed(i)) + std::abs(g - GetPaletteGreen(i)) +
                  std::abs(b - GetPaletteBlue(i));
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

int CLoColorImage::GetClosestPaletteColor(unsigned long colour) {
  return GetClosestPaletteColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

unsigned char CLoColorImage::GetRed(int x, int y) {
  return Usable(x, y) ? GetRValue(m_pPalette[m_ppLines[y][x]]) : 0;
}
unsigned char CLoColorImage::GetGreen(int x, int y) {
  return Usable(x, y) ? GetGValue(m_pPalette[m_ppLines[y][x]]) : 0;
}
unsigned char CLoColorImage::GetBlue(int x, int y) {
  return Usable(x, y) ? GetBValue(m_pPalette[m_ppLines[y][x]]) : 0;
}

void CLoColorImage::SetRed(int x, int y, unsigned char value) {
  if (!Usable(x, y)) return;
  const DWORD c = m_pPalette[m_ppLines[y][x]];
  SetRGBColor(x, y, RGB(value, GetGValue(c), GetBValue(c)));
}
void CLoColorImage::SetGreen(int x, int y, unsigned char value) {
  if (!Usable(x, y)) return;
  const DWORD c = m_pPalette[m_ppLines[y][x]];
  SetRGBColor(x, y, RGB(GetRValue(c), value, GetBValue(c)));
}
void CLoColorImage::SetBlue(int x, int y, unsigned char value) {
  if (!Usable(x, y)) return;
  const DWORD c = m_pPalette[m_ppLines[y][x]];
  SetRGBColor(x, y, RGB(GetRValue(c), GetGValue(c), value));
}

unsigned long CLoColorImage::GetRGBColor(int x, int y) {
  return Usable(x, y) ? m_pPalette[m_ppLines[y][x]] : 0ul;
}

void CLoColorImage::SetRGBColor(int x, int y, unsigned long colour) {
  if (!Usable(x, y)) return;
  m_ppLines[y][x] = static_cast<unsigned char>(GetClosestPaletteColor(colour));
}
