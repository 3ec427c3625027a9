// CBiLevelImage: two-level images held one byte per pixel (0 black, 1 white).
#pragma once

#include "imageclasses/image.h"

class CBiLevelImage : public virtual CImage {
  DECLARE_SERIAL(CBiLevelImage)
  friend struct vorlane::detail::FormatAccess;

 public:
  CBiLevelImage();
  ~CBiLevelImage() override;

  void Serialize(CArchive& ar) override;
  int CreateDuplicate(CImage* source, int byReference) override;
  int CreateFromImage(CImage* source, unsigned char mode) override;
  int ExportTIFF(const wchar_t* fileName) override;
  int CreateFromTIFF(TIFF* tif, const wchar_t* fileName) override;
  int BBAnalysis(RECT** ppRects, int* pnRects, CRect rcArea, int bConnect8) override;
  int CCAnalysis(int bConnect8) override;
  int DiscardBackup() override;
  void RestoreBackup() override;
  int CreateBackup() override;
  // Fills with 1 (white) when red, green or blue of colour exceeds 128, else 0.
  int Create(int width, int height, unsigned long colour, const wchar_t* name) override;

  unsigned char GetRed(int x, int y) override;
  unsigned char GetGreen(int x, int y) override;
  unsigned char GetBlue(int x, int y) override;
  void SetRed(int x, int y, unsigned char value) override;
  void SetGreen(int x, int y, unsigned char value) override;
  void SetBlue(int x, int y, unsigned char value) override;
  unsigned long GetRGBColor(int x, int y) override;
  void SetRGBColor(int x, int y, unsigned long colour) override;

  // Display
  // Makes every pixel white (1), then the pixels of the components' runs inside the image 0
  // when red, green and blue of colour are all below 129, else 1. The dirty flag is left.
  void DrawComponents(unsigned long colour) override;
  // Histograms, point operations and thresholding
  void GetNegative() override;
  void Clear(int red, int green, int blue) override;
  void GetProjection(int x, int y, int width, int height, long* rowProfile, long* columnProfile,
                     unsigned char flags) override;
  void ApplyAdvancedTreshold(int* parameters) override;

  // Neighbourhood filters
  // By the operations' names over the window inside the picture: 1 minimum, 2 maximum, 4 range
  // (1 where the window holds both values), 8 median (1 where at least half the window is 1);
  // other operations change nothing. The channel is not used.
  void ApplyRankOrderFilter(unsigned char operation, int windowSize,
                            unsigned char channel) override;

  // Geometry
  friend struct vorlane::detail::GeometryAccess;
  void Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect) override;
  void Rotate(double angle, unsigned long fillColour, int keepSize) override;
  void Tilt(double angle, unsigned char mode) override;
  void Crop(int x, int y, int cropWidth, int cropHeight) override;
  int ReSample(int newWidth, int newHeight, int dpi) override;

  // Virtual operations of the class's own, in their fixed order.
  virtual void SaltPepperRemoval(int windowSize);

 protected:
  // Blends one pixel of a 32-bit array: each channel becomes (old + given) / 2.
  virtual void OverlayColor(int x, int y, int red, int green, int blue, unsigned char* bits,
                            int bytesPerLine);

  void FreeMem() override;
  // One byte per pixel in memory: 8 bits per pixel whatever m_nBitsPerPixel says.
  int GetBytesPerLine(int width) override;
  // Row length of the one-bit packed form.
  int GetPackedBytesPerLine(int width);

 private:
  // Writes the image as packed rows (1 bit per pixel, MSB first, rows padded to 32-bit
  // words and zero-filled), top row first.
  void PackByteArray(unsigned char* dst);
  // Replaces the pixel arrays by new ones for the current size filled from packed rows.
  void UnPackBitArray(unsigned char* src);
  unsigned char PrivateGetByte(int x, int y) { return m_ppLines[y][x]; }
  void PrivateSetByte(int x, int y, unsigned char v) { m_ppLines[y][x] = v; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; }

 protected:
  unsigned char* m_pData;
  unsigned char** m_ppLines;
  unsigned char* m_pBackupData;
  unsigned char** m_ppBackupLines;
};
