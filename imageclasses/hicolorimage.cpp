// CHiColorImage: storage, creation and the colour interface.
#include "imageclasses/hicolorimage.h"

#include <cstdint>
#include <cstring>

#include "imageclasses/imagemap.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"

IMPLEMENT_SERIAL(CHiColorImage, CImage, VERSIONABLE_SCHEMA | 1)

CHiColorImage::CHiColorImage()
    : m_pData(nullptr), m_ppLines(nullptr), m_pBackupData(nullptr), m_ppBackupLines(nullptr) {
  m_dwType = IMAGE_TYPE_HICOLOR;
  m_nBitsPerPixel = 32;
}

CHiColorImage::~CHiColorImage() { CHiColorImage::FreeMem(); }

int CHiColorImage::Create(int width, int height, unsigned long colour, const wchar_t* name) {
  if (m_pData || m_ppImageMaps) FreeMem();  // creating over a used image must not leak it
  m_nBitsPerPixel = 32;
  if (!CImage::Create(width, height, colour, name)) return 0;
  AllocatePixels(m_pData, m_ppLines);
  const uint32_t pixel = uint32_t{GetBValue(colour)} | uint32_t{GetGValue(colour)} << 8 |
                         uint32_t{GetRValue(colour)} << 16;
  for (int y = 0; y < m_nHeight; ++y) {
    unsigned char* p = m_ppLines[y];
    for (int x = 0; x < m_nWidth; ++x, p += 4) std::memcpy(p, &pixel, 4);
  }
  m_bArraysByReference = 0;
  SetDirty();
  return 1;
}

void CHiColorImage::FreeMem() {
  CImage::FreeMem();
  ReleasePixels(m_pData, m_ppLines, m_pBackupData, m_ppBackupLines);
}

unsigned char CHiColorImage::GetRed(int x, int y) { return Inside(x, y) ? PrivateGetR(x, y) : 0; }
unsigned char CHiColorImage::GetGreen(int x, int y) { return Inside(x, y) ? PrivateGetG(x, y) : 0; }
unsigned char CHiColorImage::GetBlue(int x, int y) { return Inside(x, y) ? PrivateGetB(x, y) : 0; }

void CHiColorImage::SetRed(int x, int y, unsigned char value) {
  if (Inside(x, y)) PrivateSetR(x, y, value);
}
void CHiColorImage::SetGreen(int x, int y, unsigned char value) {
  if (Inside(x, y)) PrivateSetG(x, y, value);
}
void CHiColorImage::SetBlue(int x, int y, unsigned char value) {
  if (Inside(x, y)) PrivateSetB(x, y, value);
}

unsigned long CHiColorImage::GetRGBColor(int x, int y) {
  if (!Inside(x, y)) return 0;
  return RGB(PrivateGetR(x, y), PrivateGetG(x, y), PrivateGetB(x, y));
}

void CHiColorImage::SetRGBColor(int x, int y, unsigned long colour) {
  if (!Inside(x, y)) return;
  PrivateSetR(x, y, GetRValue(colour));
  PrivateSetG(x, y, GetGValue(colour));
  PrivateSetB(x, y, GetBValue(colour));
}

void CHiColorImage::OverlayColor(int x, int y, int red, int green, int blue, unsigned char* bits,
                                 int bytesPerLine) {
  if (!bits || x < 0 || y < 0 || int64_t{x} * 4 + 4 > bytesPerLine) return;
  unsigned char* p =
      bits + static_cast<ptrdiff_t>(y) * bytesPerLine + static_cast<ptrdiff_t>(x) * 4;
  // A background pixel of the current map blends from the map's background colour.
  CImageMap* map = GetCurrentMap();
  if (map && Inside(x, y) && !IsForeground(x, y)) {
    p[0] = map->GetPTBlue(L"Background");
    p[1] = map->GetPTGreen(L"Background");
    p[2] = map->GetPTRed(L"Background");
  }
  p[0] = static_cast<unsigned char>((p[0] + blue) / 2);
  p[1] = static_cast<unsigned char>((p[1] + green) / 2);
  p[2] = static_cast<unsigned char>((p[2] + red) / 2);
}
