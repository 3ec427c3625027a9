// CHiColorImage colour comparisons (perceptual HLS likeness, Lab colour difference) and the
// two colour component analyses built on them.
#include <cstdio>
#include <memory>
#include <typeinfo>
#include <vector>

#include "imageclasses/comp.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/runs.h"
#include "kernels/colour/colour_regions.h"
#include "kernels/colour/colour_runs.h"
#include "kernels/colour/colour_similarity.h"

namespace {

// Distance answered for a pixel position outside the image.
constexpr double kOutsideDistance = 100.0;

// Channels of a packed colour: red in bits 0-7, green 8-15, blue 16-23.
int RedOf(unsigned long colour) { return static_cast<int>(colour & 0xFF); }
int GreenOf(unsigned long colour) { return static_cast<int>((colour >> 8) & 0xFF); }
int BlueOf(unsigned long colour) { return static_cast<int>((colour >> 16) & 0xFF); }

}  // namespace

double CImage::ComputeColourDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  return vorlane::detail::LabDistance(r1, g1, b1, r2, g2, b2);
}

int CHiColorImage::CheckVisualSimilarity(float r1, float g1, float b1, float r2, float g2, float b2,
                                         int nMode) {
  return vorlane::detail::VisualSimilarity(r1, g1, b1, r2, g2, b2, nMode);
}

int CHiColorImage::CheckVisualSimilarity(int x, int y, int r, int g, int b, int nMode) {
  // A position outside the image has no colour to be like anything.
  if (!Inside(x, y)) return 0;
  return CheckVisualSimilarity(static_cast<float>(PrivateGetR(x, y)),
                               static_cast<float>(PrivateGetG(x, y)),
                               static_cast<float>(PrivateGetB(x, y)), static_cast<float>(r),
                               static_cast<float>(g), static_cast<float>(b), nMode);
}

double CHiColorImage::CheckLabSimilarity(int x, int y, int r, int g, int b) {
  if (!Inside(x, y)) return kOutsideDistance;
  return CheckLabSimilarity(PrivateGetR(x, y), PrivateGetG(x, y), PrivateGetB(x, y), r, g, b);
}

double CHiColorImage::CheckLabSimilarity(unsigned long cr1, unsigned long cr2) {
  return CheckLabSimilarity(RedOf(cr1), GreenOf(cr1), BlueOf(cr1), RedOf(cr2), GreenOf(cr2),
                            BlueOf(cr2));
}

double CHiColorImage::CheckLabSimilarity(int x1, int y1, int x2, int y2) {
  if (!Inside(x1, y1) || !Inside(x2, y2)) return kOutsideDistance;
  return CheckLabSimilarity(PrivateGetR(x1, y1), PrivateGetG(x1, y1), PrivateGetB(x1, y1),
                            PrivateGetR(x2, y2), PrivateGetG(x2, y2), PrivateGetB(x2, y2));
}

double CHiColorImage::CheckLabSimilarity(int r1, int g1, int b1, int r2, int g2, int b2) {
  return vorlane::detail::LabDistance(r1, g1, b1, r2, g2, b2);
}

int CHiColorImage::IsLabSimilar(unsigned long cr1, unsigned long cr2, double dThreshold) {
  return CheckLabSimilarity(cr1, cr2) <= dThreshold ? 1 : 0;
}

int CHiColorImage::IsLabSimilar(int x1, int y1, int x2, int y2, double dThreshold) {
  return CheckLabSimilarity(x1, y1, x2, y2) <= dThreshold ? 1 : 0;
}

int CHiColorImage::IsLabSimilar(int r1, int g1, int b1, int r2, int g2, int b2, double dThreshold) {
  return CheckLabSimilarity(r1, g1, b1, r2, g2, b2) <= dThreshold ? 1 : 0;
}

int CHiColorImage::CCAnalysis(int n) {
  ExColorCC(n, 20.0);
  return 1;
}

// The analyses use the comparisons through the virtual table, so that a derived class that
// replaces one changes them too; this class's own comparisons are called directly, and the
// Lab values are cached, when the object is of this very class.
void CHiColorImage::ColorCC(int bConnect8) {
  std::vector<std::unique_ptr<CComp>> components;
  if (HasPixels(m_ppLines)) {
    vorlane::detail::ColourRunLabels linked;
    if (typeid(*this) == typeid(CHiColorImage)) {
      linked = vorlane::detail::LinkColourRuns(
          m_ppLines, m_nWidth, m_nHeight, bConnect8 != 0,
          [](float r1, float g1, float b1, float r2, float g2, float b2) {
            return vorlane::detail::VisualSimilarity(r1, g1, b1, r2, g2, b2,
                                                     vorlane::detail::kVisualFull);
          });
    } else {
      linked = vorlane::detail::LinkColourRuns(
          m_ppLines, m_nWidth, m_nHeight, bConnect8 != 0,
          [this](float r1, float g1, float b1, float r2, float g2, float b2) {
            return CheckVisualSimilarity(r1, g1, b1, r2, g2, b2, vorlane::detail::kVisualFull);
          });
    }
    if (linked.failedCapacity) {
      // The label table is lost: the component list stays as it was.
      std::printf("Error: cannot increase allocation to  %d component blocks\n",
                  linked.failedCapacity);
      return;
    }
    components.reserve(linked.labels.size());
    for (const std::vector<vorlane::detail::Run>& runs : linked.labels) {
      auto comp = std::make_unique<CComp>();
      comp->SetImageReference(this);
      // One run at a time, so that the measurements are kept current as it grows.
      for (const vorlane::detail::Run& run : runs) comp->AddRun(run.y, run.xl, run.xr, TRUE);
      components.push_back(std::move(comp));
    }
  }
  AdoptComponents(components);
}

void CHiColorImage::ExColorCC(int, double dThreshold) {
  std::vector<vorlane::detail::ColourRegion> regions;
  if (HasPixels(m_ppLines)) {
    if (typeid(*this) == typeid(CHiColorImage)) {
      vorlane::detail::CachedLabMetric metric(m_ppLines, m_nWidth, m_nHeight);
      regions =
          vorlane::detail::GrowColourRegions(m_ppLines, m_nWidth, m_nHeight, dThreshold, metric);
    } else {
      // The distances through this object's own comparisons.
      struct VirtualMetric {
        CHiColorImage* image;
        int x = 0;
        int y = 0;
        void SetPixel(int px, int py, int, int, int) {
          x = px;
          y = py;
        }
        double ToMean(int, const vorlane::detail::ChannelMeans& mean) {
          return image->CheckLabSimilarity(x, y, mean.Whole(0), mean.Whole(1), mean.Whole(2));
        }
        double Between(int, const vorlane::detail::ChannelMeans& a, int,
                       const vorlane::detail::ChannelMeans& b) {
          return image->CheckLabSimilarity(a.Whole(0), a.Whole(1), a.Whole(2), b.Whole(0),
                                           b.Whole(1), b.Whole(2));
        }
      } metric{this};
      regions =
          vorlane::detail::GrowColourRegions(m_ppLines, m_nWidth, m_nHeight, dThreshold, metric);
    }
  }
  std::vector<std::unique_ptr<CComp>> components;
  components.reserve(regions.size());
  for (vorlane::detail::ColourRegion& region : regions) {
    auto comp = std::make_unique<CComp>();
    comp->SetImageReference(this);
    comp->AttachRuns(vorlane::detail::CompRuns(region.runs.release()), region.count);
    components.push_back(std::move(comp));
  }
  AdoptComponents(components);
}
