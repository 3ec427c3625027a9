// CBiLevelImage: storage, creation, the colour interface and the one-bit packing.
#include "imageclasses/bilevelimage.h"

#include <cstdint>
#include <cstring>

#include "kernels/io/tiff_samples.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"

IMPLEMENT_SERIAL(CBiLevelImage, CImage, VERSIONABLE_SCHEMA | 1)

CBiLevelImage::CBiLevelImage()
    : m_pData(nullptr), m_ppLines(nullptr), m_pBackupData(nullptr), m_ppBackupLines(nullptr) {
  m_dwType = IMAGE_TYPE_BILEVEL;
  m_nBitsPerPixel = 1;
}

CBiLevelImage::~CBiLevelImage() { CBiLevelImage::FreeMem(); }

int CBiLevelImage::Create(int width, int height, unsigned long colour, const wchar_t* name) {
  if (m_pData || m_ppImageMaps) FreeMem();  // creating over a used image must not leak it
  m_nBitsPerPixel = 1;
  if (!CImage::Create(width, height, colour, name)) return 0;
  AllocatePixels(m_pData, m_ppLines);
  const bool white = GetRValue(colour) > 128 || GetGValue(colour) > 128 || GetBValue(colour) > 128;
  std::memset(m_pData, white ? 1 : 0,
              static_cast<size_t>(m_nBytesPerLine) * static_cast<size_t>(m_nHeight));
  m_bArraysByReference = 0;
  SetDirty();
  return 1;
}

void CBiLevelImage::FreeMem() {
  CImage::FreeMem();
  ReleasePixels(m_pData, m_ppLines, m_pBackupData, m_ppBackupLines);
}

int CBiLevelImage::GetBytesPerLine(int width) {
  return static_cast<int>(vorlane::detail::PaddedRowBytes(width, 8));
}

int CBiLevelImage::GetPackedBytesPerLine(int width) {
  return static_cast<int>(vorlane::detail::PaddedRowBytes(width, m_nBitsPerPixel));
}

// ---- Colour interface ----

unsigned char CBiLevelImage::GetRed(int x, int y) { return Inside(x, y) ? m_ppLines[y][x] : 0; }
unsigned char CBiLevelImage::GetGreen(int x, int y) { return GetRed(x, y); }
unsigned char CBiLevelImage::GetBlue(int x, int y) { return GetRed(x, y); }

void CBiLevelImage::SetRed(int x, int y, unsigned char value) {
  if (Inside(x, y)) m_ppLines[y][x] = value ? 1 : 0;
}
void CBiLevelImage::SetGreen(int x, int y, unsigned char value) { SetRed(x, y, value); }
void CBiLevelImage::SetBlue(int x, int y, unsigned char value) { SetRed(x, y, value); }

unsigned long CBiLevelImage::GetRGBColor(int x, int y) {
  return Inside(x, y) && m_ppLines[y][x] == 1 ? 0x00FFFFFFul : 0ul;
}

void CBiLevelImage::SetRGBColor(int x, int y, unsigned long colour) {
  if (Inside(x, y)) m_ppLines[y][x] = GetBValue(colour) != 0 ? 1 : 0;
}

// ---- Packing ----

void CBiLevelImage::PackByteArray(unsigned char* dst) {
  const size_t packed = static_cast<size_t>(GetPackedBytesPerLine(m_nWidth));
  const size_t used = (static_cast<size_t>(m_nWidth) + 7) / 8;
  for (int y = 0; y < m_nHeight; ++y) {
    unsigned char* out = dst + static_cast<size_t>(y) * packed;
    vorlane::detail::PackPixelBits(m_ppLines[y], static_cast<uint32_t>(m_nWidth), out);
    // The row's trailing bytes are 0. A zero-width image has no packed bytes at all and
    // dst may then be null, which memset must not be handed even for no bytes.
    if (packed > used) std::memset(out + used, 0, packed - used);
  }
}

void CBiLevelImage::UnPackBitArray(unsigned char* src) {
  const auto arrays = vorlane::detail::AllocatePixelArrays(m_nBytesPerLine, m_nHeight);
  if (!m_bArraysByReference) vorlane::detail::FreePixelArrays(m_pData, m_ppLines);
  m_pData = arrays.data;
  m_ppLines = arrays.lines;
  m_bArraysByReference = 0;
  SetupLineArray(m_ppLines, m_pData, m_nHeight, m_nBytesPerLine);
  const size_t packed = static_cast<size_t>(GetPackedBytesPerLine(m_nWidth));
  for (int y = 0; y < m_nHeight; ++y) {
    vorlane::detail::UnpackFirstBitSamples(src + static_cast<size_t>(y) * packed,
                                           static_cast<uint32_t>(m_nWidth), 1, false, m_ppLines[y]);
  }
}

// ---- Own virtual operations ----

void CBiLevelImage::OverlayColor(int x, int y, int red, int green, int blue, unsigned char* bits,
                                 int bytesPerLine) {
  if (!bits || x < 0 || y < 0 || int64_t{x} * 4 + 4 > bytesPerLine) return;
  unsigned char* p =
      bits + static_cast<ptrdiff_t>(y) * bytesPerLine + static_cast<ptrdiff_t>(x) * 4;
  p[0] = static_cast<unsigned char>((p[0] + blue) / 2);
  p[1] = static_cast<unsigned char>((p[1] + green) / 2);
  p[2] = static_cast<unsigned char>((p[2] + red) / 2);
}
