// CLoColorImage: 8-bit palette images with a 256-entry colour table.
#pragma once

#include "imageclasses/image.h"

class CLoColorImage : public virtual CImage {
  DECLARE_SERIAL(CLoColorImage)
  friend struct vorlane::detail::FormatAccess;

 public:
  CLoColorImage();
  ~CLoColorImage() override;

  void Serialize(CArchive& ar) override;
  int CreateDuplicate(CImage* source, int byReference) override;
  int CreateFromImage(CImage* source, unsigned char mode) override;
  int DiscardBackup() override;
  void RestoreBackup() override;
  int CreateBackup() override;

  unsigned char GetRed(int x, int y) override;
  unsigned char GetGreen(int x, int y) override;
  unsigned char GetBlue(int x, int y) override;
  void SetRed(int x, int y, unsigned char value) override;
  void SetGreen(int x, int y, unsigned char value) override;
  void SetBlue(int x, int y, unsigned char value) override;
  unsigned long GetRGBColor(int x, int y) override;
  void SetRGBColor(int x, int y, unsigned long colour) override;

  // Geometry
  friend struct vorlane::detail::GeometryAccess;
  void Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect) override;
  void Rotate(double angle, unsigned long fillColour, int keepSize) override;
  void Tilt(double angle, unsigned char mode) override;
  void Crop(int x, int y, int cropWidth, int cropHeight) override;
  int ReSample(int newWidth, int newHeight, int dpi) override;

 protected:
  // Virtual operation of the class's own: the palette index nearest to (r, g, b).
  virtual int GetClosestPaletteColor(unsigned char r, unsigned char g, unsigned char b);
  int GetClosestPaletteColor(unsigned long colour);

  void FreeMem() override;
  // Channels of palette entry i; without a palette, i itself (a grey ramp).
  unsigned char GetPaletteRed(int i);
  unsigned char GetPaletteGreen(int i);
  unsigned char GetPaletteBlue(int i);
  unsigned char PrivateGetByte(int x, int y) { return m_ppLines[y][x]; }
  void PrivateSetByte(int x, int y, unsigned char v) { m_ppLines[y][x] = v; }
  // A pixel the colour interface can use: inside the image, with pixels and a palette.
  bool Usable(int x, int y) const {
    return m_ppLines && m_pPalette && x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight;
  }

  unsigned char* m_pData;
  unsigned char** m_ppLines;
  DWORD* m_pPalette;
  unsigned char* m_pBackupData;
  unsigned char** m_ppBackupLines;
  DWORD* m_pBackupPalette;
};
