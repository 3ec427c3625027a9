// CGreyScaleImage: storage, creation and the colour interface.
#include "imageclasses/greyscaleimage.h"

#include <cstring>

#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"

IMPLEMENT_SERIAL(CGreyScaleImage, CImage, VERSIONABLE_SCHEMA | 1)

CGreyScaleImage::CGreyScaleImage()
    : m_pData(nullptr), m_ppLines(nullptr), m_pBackupData(nullptr), m_ppBackupLines(nullptr) {
  m_dwType = IMAGE_TYPE_GREYSCALE;
  m_nBitsPerPixel = 8;
}

CGreyScaleImage::~CGreyScaleImage() { CGreyScaleImage::FreeMem(); }

int CGreyScaleImage::Create(int width, int height, unsigned long colour, const wchar_t* name) {
  if (m_pData || m_ppImageMaps) FreeMem();  // creating over a used image must not leak it
  m_nBitsPerPixel = 8;
  if (!CImage::Create(width, height, colour, name)) return 0;
  AllocatePixels(m_pData, m_ppLines);
  std::memset(m_pData, GetGValue(colour),
              static_cast<size_t>(m_nBytesPerLine) * static_cast<size_t>(m_nHeight));
  m_bArraysByReference = 0;
  SetDirty();
  return 1;
}

void CGreyScaleImage::FreeMem() {
  CImage::FreeMem();
  ReleasePixels(m_pData, m_ppLines, m_pBackupData, m_ppBackupLines);
}

unsigned char CGreyScaleImage::GetRed(int x, int y) { return Inside(x, y) ? m_ppLines[y][x] : 0; }
unsigned char CGreyScaleImage::GetGreen(int x, int y) { return GetRed(x, y); }
unsigned char CGreyScaleImage::GetBlue(int x, int y) { return GetRed(x, y); }

void CGreyScaleImage::SetRed(int x, int y, unsigned char value) {
  if (Inside(x, y)) m_ppLines[y][x] = value;
}
void CGreyScaleImage::SetGreen(int x, int y, unsigned char value) { SetRed(x, y, value); }
void CGreyScaleImage::SetBlue(int x, int y, unsigned char value) { SetRed(x, y, value); }

unsigned long CGreyScaleImage::GetRGBColor(int x, int y) {
  return Inside(x, y) ? m_ppLines[y][x] * 0x010101ul : 0ul;
}

void CGreyScaleImage::SetRGBColor(int x, int y, unsigned long colour) {
  if (Inside(x, y)) m_ppLines[y][x] = GetGValue(colour);
}
