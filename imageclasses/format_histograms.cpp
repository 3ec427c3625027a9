// The histogram family of the pixel formats: histograms, table transformations,
// equalization, colour reduction, negatives, clearing, paper marking, average colours,
// profiles and map inversion.
#include <cstring>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/internal/map_selection.h"
#include "kernels/histogram/histograms.h"
#include "kernels/histogram/point_operations.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/rectangles.h"

using namespace vorlane::detail;

namespace {

// The request of a profile over the region (x, y, width, height) of an image, clipped to it.
ProfileRequest Profile(const CImage& image, bool hasPixels, int x, int y, int width, int height,
                       long* rowProfile, long* columnProfile, unsigned char flags) {
  ProfileRequest req{x, y, width, height, RECT{0, 0, 0, 0}, rowProfile, columnProfile, flags};
  if (hasPixels) req.clip = ClipRegion(x, y, width, height, image.GetWidth(), image.GetHeight());
  return req;
}

// The "Standard" map's bytes and "Background" label, as the profiles consult them.
CurrentMapBackground StandardBackground(const CImage& image) {
  CImageMap* map = image.GetImageMap(static_cast<unsigned char>(MAP_STANDARD));
  if (!map) return {};
  return {RowsOf(map, image.GetWidth(), image.GetHeight()), map->GetPTByteLabel(L"Background")};
}

}  // namespace

// ---- CGreyScaleImage ----

int CGreyScaleImage::GetHistograms(long** histograms, unsigned long flags, RECT& rect,
                                   unsigned char mode, int mapIndex, unsigned char pixelType) {
  CImage::GetHistograms(histograms, flags, rect, mode, mapIndex, pixelType);
  if (flags != kHistLuminance || !histograms || !histograms[0]) return 1;
  const RECT area = m_pData ? rect : RECT{0, 0, 0, 0};
  GreyHistogram(m_ppLines, area, HistogramSelection(*this, mode, mapIndex, pixelType),
                histograms[0]);
  return 1;
}

int CGreyScaleImage::HistogramTransformation(int* const table, unsigned long flags) {
  if (!table) return 0;
  if ((flags & kHistLuminance) && HasPixels(m_pData)) {
    unsigned char low[256];
    for (int i = 0; i < 256; ++i) low[i] = static_cast<unsigned char>(table[i]);
    ApplyByteTable(m_ppLines, RECT{0, 0, m_nWidth, m_nHeight}, low);
  }
  return 1;
}

void CGreyScaleImage::HistogramEqualization(RECT& rect) {
  CImage::HistogramEqualization(rect);
  long hist[256];
  long* histograms[1] = {hist};
  CGreyScaleImage::GetHistograms(histograms, kHistLuminance, rect, 0, 0, 0);
  unsigned char levels[256];
  if (!m_pData || !EqualizationLevels(hist, levels)) return;
  ApplyByteTable(m_ppLines, rect, levels);
}

unsigned long CGreyScaleImage::GetAverageColour(int mapIndex, unsigned char label) {
  if (!m_pData) return 0;
  return AverageColour(
      SumChannels<1>(m_ppLines, m_nWidth, m_nHeight, LabelledPixels(*this, mapIndex, label)));
}

void CGreyScaleImage::GetProjection(int x, int y, int width, int height, long* rowProfile,
                                    long* columnProfile, unsigned char flags) {
  const CurrentMapBackground standard = StandardBackground(*this);
  GreyProfiles(
      m_ppLines, standard.rows, standard.label,
      Profile(*this, m_pData != nullptr, x, y, width, height, rowProfile, columnProfile, flags));
}

// ---- CHiColorImage ----

int CHiColorImage::GetHistograms(long** histograms, unsigned long flags, RECT& rect,
                                 unsigned char mode, int mapIndex, unsigned char pixelType) {
  CImage::GetHistograms(histograms, flags, rect, mode, mapIndex, pixelType);
  if (!histograms) return 1;
  const RECT area = m_pData ? rect : RECT{0, 0, 0, 0};
  ColourHistograms(m_ppLines, area, HistogramSelection(*this, mode, mapIndex, pixelType), flags,
                   histograms);
  return 1;
}

int CHiColorImage::HistogramTransformation(int* const table, unsigned long flags) {
  if (!table) return 0;
  if (HasPixels(m_pData)) TransformColours(m_ppLines, m_nWidth, m_nHeight, table, flags);
  return 1;
}

void CHiColorImage::ColorReduction() {
  if (HasPixels(m_pData)) ReduceColours(m_ppLines, m_nWidth, m_nHeight, ForegroundPixels(*this));
}

void CHiColorImage::GetNegative() {
  if (HasPixels(m_pData)) NegateColours(m_ppLines, m_nWidth, m_nHeight);
}

void CHiColorImage::InvertMap() {
  const CurrentMapBackground bg = CurrentBackground(*this);
  if (!bg.rows.data) return;
  InvertLabel(bg.rows, m_nWidth, m_nHeight, bg.label);
  m_lNumberOfPixels = m_nWidth * m_nHeight - m_lNumberOfPixels;
  SetDirty();
}

void CHiColorImage::Clear(int red, int green, int blue) {
  if (HasPixels(m_pData)) {
    FillColour(m_ppLines, m_nWidth, m_nHeight, static_cast<unsigned char>(red),
               static_cast<unsigned char>(green), static_cast<unsigned char>(blue));
  }
  SetDirty();
}

void CHiColorImage::ClearSimilar(unsigned char red, unsigned char green, unsigned char blue,
                                 int tolerance) {
  if (!HasPixels(m_pData)) return;
  CImageMap* map = SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  if (!map) return;
  MarkSimilar(m_ppLines, m_nWidth, m_nHeight, red, green, blue, tolerance,
              RowsOf(map, m_nWidth, m_nHeight), map->GetPTByteLabel(L"Paper"));
}

unsigned long CHiColorImage::GetAverageColour(int mapIndex, unsigned char label) {
  if (!m_pData) return 0;
  return AverageColour(
      SumChannels<4>(m_ppLines, m_nWidth, m_nHeight, LabelledPixels(*this, mapIndex, label)));
}

// ---- CBiLevelImage ----

void CBiLevelImage::GetNegative() {
  if (HasPixels(m_pData)) NegateBiLevel(m_ppLines, m_nWidth, m_nHeight);
}

void CBiLevelImage::Clear(int red, int green, int blue) {
  const long long sum = static_cast<long long>(red) + green + blue;
  if (m_pData) std::memset(m_pData, sum >= 385 ? 1 : 0, BufferBytes(m_nBytesPerLine, m_nHeight));
  SetDirty();
}

void CBiLevelImage::GetProjection(int x, int y, int width, int height, long* rowProfile,
                                  long* columnProfile, unsigned char flags) {
  const CurrentMapBackground standard = StandardBackground(*this);
  BiLevelProfiles(
      m_ppLines, standard.rows, standard.label,
      Profile(*this, m_pData != nullptr, x, y, width, height, rowProfile, columnProfile, flags));
}
