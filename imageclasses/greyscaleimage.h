// CGreyScaleImage: 8-bit grey images (0 black, 255 white).
#pragma once

#include "imageclasses/image.h"

class CGreyScaleImage : public virtual CImage {
  DECLARE_SERIAL(CGreyScaleImage)
  friend struct vorlane::detail::FormatAccess;

 public:
  CGreyScaleImage();
  ~CGreyScaleImage() override;

  void Serialize(CArchive& ar) override;
  int CreateDuplicate(CImage* source, int byReference) override;
  int CreateFromImage(CImage* source, unsigned char mode) override;
  int ExportTIFF(const wchar_t* fileName) override;
  int CreateFromTIFF(TIFF* tif, const wchar_t* fileName) override;
  int DiscardBackup() override;
  void RestoreBackup() override;
  int CreateBackup() override;
  // Fills with the green byte (bits 8-15) of colour.
  int Create(int width, int height, unsigned long colour, const wchar_t* name) override;

  unsigned char GetRed(int x, int y) override;
  unsigned char GetGreen(int x, int y) override;
  unsigned char GetBlue(int x, int y) override;
  void SetRed(int x, int y, unsigned char value) override;
  void SetGreen(int x, int y, unsigned char value) override;
  void SetBlue(int x, int y, unsigned char value) override;
  unsigned long GetRGBColor(int x, int y) override;
  void SetRGBColor(int x, int y, unsigned long colour) override;

  // Histograms, point operations and thresholding
  int GetHistograms(long** histograms, unsigned long flags, RECT& rect, unsigned char mode,
                    int mapIndex, unsigned char pixelType) override;
  int HistogramTransformation(int* const table, unsigned long flags) override;
  void HistogramEqualization(RECT& rect) override;
  unsigned long GetAverageColour(int mapIndex, unsigned char label) override;
  void GetProjection(int x, int y, int width, int height, long* rowProfile, long* columnProfile,
                     unsigned char flags) override;
  void Threshold(int threshold, CRect& rect, CImage* destination) override;
  void Threshold_Niblack(int halfWindow, CRect& rect, CImage* destination,
                         unsigned char outputs) override;
  void Threshold_WeszkaRosenfeld(CRect& rect, CImage* destination) override;

  // Neighbourhood filters
  void ApplyFilter(tagFilterStruct* filter) override;

  // Geometry
  friend struct vorlane::detail::GeometryAccess;
  void Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect) override;
  void Rotate(double angle, unsigned long fillColour, int keepSize) override;
  void Tilt(double angle, unsigned char mode) override;
  void Crop(int x, int y, int cropWidth, int cropHeight) override;
  int ReSample(int newWidth, int newHeight, int dpi) override;

 protected:
  void FreeMem() override;
  unsigned char PrivateGetByte(int x, int y) { return m_ppLines[y][x]; }
  void PrivateSetByte(int x, int y, unsigned char v) { m_ppLines[y][x] = v; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; }

  unsigned char* m_pData;
  unsigned char** m_ppLines;
  unsigned char* m_pBackupData;
  unsigned char** m_ppBackupLines;
};
