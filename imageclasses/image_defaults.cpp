// The CImage defaults of the virtual image operations that a pixel format does not
// support: they do nothing, or report failure with 0 or null.
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "platform/diagnostics.h"

int CImage::ExportTIFF(const wchar_t*) { return 0; }
int CImage::CreateFromTIFF(TIFF*, const wchar_t*) { return 0; }
void CImage::InvertMap() {}

void CImage::Threshold(int, CRect&, CImage*) {}
void CImage::Threshold_Niblack(int, CRect&, CImage*, unsigned char) {}
void CImage::Threshold_WeszkaRosenfeld(CRect&, CImage*) {}

void CImage::EdgePreservingSmoothing() {
  vorlane::detail::Trace(
      "EdgePreservingSmoothing(): Default implementation in CImage called, does nothing\n");
}

unsigned long CImage::GetAverageColour(int, unsigned char) { return 0; }
void CImage::ClearSimilar(unsigned char, unsigned char, unsigned char, int) {}
void CImage::Clear(int, int, int) {}
int CImage::BBAnalysis(RECT**, int*, CRect, int) { return 0; }
void CImage::GetNegative() {}

int CImage::HistogramTransformation(int* const, unsigned long) { return 0; }
void CImage::GetProjection(int, int, int, int, long*, long*, unsigned char) {}
void CImage::ColorReduction() {}
void CImage::ApplyRankOrderFilter(unsigned char, int, unsigned char) {}
void CImage::ApplyFilter(tagFilterStruct*) {}
void CImage::EdgeDetector(int) {}
void CImage::ApplyAdvancedTreshold(int*) {}
int CImage::CCAnalysis(int) { return 0; }
void CImage::DrawComponents(unsigned long) {}
void CImage::ColorCC(int) {}
void CImage::ExColorCC(int, double) {}
int CImage::DiscardBackup() { return 1; }
void CImage::RestoreBackup() {}
int CImage::CreateBackup() { return m_bBackup ? 0 : 1; }
void CImage::SetReferenceImage(CImage*) {}
unsigned char CImage::GetRed(int, int) { return 0; }
unsigned char CImage::GetGreen(int, int) { return 0; }
unsigned char CImage::GetBlue(int, int) { return 0; }
void CImage::SetRed(int, int, unsigned char) {}
void CImage::SetGreen(int, int, unsigned char) {}
void CImage::SetBlue(int, int, unsigned char) {}
unsigned long CImage::GetRGBColor(int, int) { return 0; }
void CImage::SetRGBColor(int, int, unsigned long) {}
