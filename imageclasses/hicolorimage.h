// CHiColorImage: full-colour images, 4 bytes per pixel (blue, green, red, unused).
#pragma once

#include "imageclasses/image.h"

class CHiColorImage : public virtual CImage {
  DECLARE_SERIAL(CHiColorImage)
  friend struct vorlane::detail::FormatAccess;

 public:
  CHiColorImage();
  ~CHiColorImage() override;

  void Serialize(CArchive& ar) override;
  int CreateDuplicate(CImage* source, int byReference) override;
  int CreateFromImage(CImage* source, unsigned char mode) override;
  int ExportTIFF(const wchar_t* fileName) override;
  int CreateFromTIFF(TIFF* tif, const wchar_t* fileName) override;
  int CCAnalysis(int bConnect8) override;
  // Colour similarity and colour components
  // Replaces the component list by runs of visually alike pixels linked from row to row.
  void ColorCC(int bConnect8) override;
  // Replaces the component list by regions grown by Lab distance; nUnused has no effect.
  void ExColorCC(int nUnused, double dThreshold) override;
  int DiscardBackup() override;
  void RestoreBackup() override;
  int CreateBackup() override;
  void SetReferenceImage(CImage* reference) override;
  // Writes red, green and blue of colour into every pixel, and 0 into the fourth byte (which
  // exports and archives carry: memory left as allocated would put stale heap bytes there).
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
  void ColorReduction() override;
  void GetNegative() override;
  void InvertMap() override;
  void Clear(int red, int green, int blue) override;
  void ClearSimilar(unsigned char red, unsigned char green, unsigned char blue,
                    int tolerance) override;
  unsigned long GetAverageColour(int mapIndex, unsigned char label) override;
  void ApplyAdvancedTreshold(int* parameters) override;

  // Neighbourhood filters
  // Each channel becomes the foreground-weighted sum over the divisor scaled to the window's
  // foreground share, as an exact integer quotient limited to 0..255. A null kernel, a size
  // that is not odd 1 to 7 or a divisor 0 change nothing.
  void ApplyFilter(tagFilterStruct* filter) override;
  // Operations 1 minimum, 2 maximum, 4 range, 8 median (the upper middle value of an even
  // count); other operations change nothing.
  void ApplyRankOrderFilter(unsigned char operation, int windowSize,
                            unsigned char channel) override;
  // Fewer than 1 direction changes nothing (the backup is kept).
  void EdgeDetector(int directions) override;
  void EdgePreservingSmoothing() override;

  // Geometry
  friend struct vorlane::detail::GeometryAccess;
  void Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect) override;
  void Rotate(double angle, unsigned long fillColour, int keepSize) override;
  void Tilt(double angle, unsigned char mode) override;
  void Crop(int x, int y, int cropWidth, int cropHeight) override;
  int ReSample(int newWidth, int newHeight, int dpi) override;

  // Virtual operations of the class's own, in their fixed order.
  virtual void Draw(HDC dc, int x, int y, unsigned long rasterOperation);
  virtual void DrawLine(float rho, float theta, int xOffset, int yOffset);
  virtual void DrawLine(int x1, int y1, int x2, int y2);

 protected:
  virtual int CheckVisualSimilarity(float r1, float g1, float b1, float r2, float g2, float b2,
                                    int nMode);
  virtual int CheckVisualSimilarity(int x, int y, int r, int g, int b, int nMode);
  virtual double CheckLabSimilarity(int x, int y, int r, int g, int b);
  virtual double CheckLabSimilarity(unsigned long cr1, unsigned long cr2);
  virtual double CheckLabSimilarity(int x1, int y1, int x2, int y2);
  virtual double CheckLabSimilarity(int r1, int g1, int b1, int r2, int g2, int b2);
  virtual int IsLabSimilar(unsigned long cr1, unsigned long cr2, double dThreshold);
  virtual int IsLabSimilar(int x1, int y1, int x2, int y2, double dThreshold);
  virtual int IsLabSimilar(int r1, int g1, int b1, int r2, int g2, int b2, double dThreshold);
  // Blends one pixel of a 32-bit array: each channel becomes (old + given) / 2, where a
  // pixel that is background in the current map counts as the map's "Background" colour.
  // Points left of or above the array or beyond bytesPerLine are left out.
  virtual void OverlayColor(int x, int y, int red, int green, int blue, unsigned char* bits,
                            int bytesPerLine);

  void FreeMem() override;

  // Channel bytes of pixel (x, y) without coordinate checks.
  unsigned char PrivateGetR(int x, int y) { return m_ppLines[y][4 * x + 2]; }
  unsigned char PrivateGetG(int x, int y) { return m_ppLines[y][4 * x + 1]; }
  unsigned char PrivateGetB(int x, int y) { return m_ppLines[y][4 * x]; }
  void PrivateSetR(int x, int y, unsigned char v) { m_ppLines[y][4 * x + 2] = v; }
  void PrivateSetG(int x, int y, unsigned char v) { m_ppLines[y][4 * x + 1] = v; }
  void PrivateSetB(int x, int y, unsigned char v) { m_ppLines[y][4 * x] = v; }
  unsigned char PrivateGetBackupR(int x, int y) { return m_ppBackupLines[y][4 * x + 2]; }
  unsigned char PrivateGetBackupG(int x, int y) { return m_ppBackupLines[y][4 * x + 1]; }
  unsigned char PrivateGetBackupB(int x, int y) { return m_ppBackupLines[y][4 * x]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; }

  unsigned char* m_pData;
  unsigned char** m_ppLines;
  unsigned char* m_pBackupData;
  unsigned char** m_ppBackupLines;
};
