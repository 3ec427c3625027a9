// Colour likeness of two colours: the perceptual HLS test and the CIE Lab colour difference.
#include "kernels/colour/colour_similarity.h"

#include "colourfunctions/colourfunctions.h"

namespace vorlane::detail {

LabColour LabOf(int r, int g, int b) {
  LabColour lab{};
  TT_sRGB2sLab(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), &lab.L, &lab.a,
               &lab.b, kLabScale);
  return lab;
}

float LabDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  return LabDistance(LabOf(r1, g1, b1), LabOf(r2, g2, b2));
}

namespace {

// Byte-scale HLS of a colour, each value truncated toward zero.
struct Hls {
  int h;
  int l;
  int s;
};

Hls HlsOf(float r, float g, float b) {
  float h = 0.0f, l = 0.0f, s = 0.0f;
  TT_RGB2HLS(r, g, b, &h, &l, &s, kHlsByteScale);
  return {static_cast<int>(h), static_cast<int>(l), static_cast<int>(s)};
}

}  // namespace

int VisualSimilarity(float r1, float g1, float b1, float r2, float g2, float b2, int mode) {
  if (mode != kVisualFull && mode != kVisualHue && mode != kVisualLightness &&
      mode != kVisualSaturation) {
    return 0;
  }
  const Hls one = HlsOf(r1, g1, b1);
  const Hls two = HlsOf(r2, g2, b2);
  auto hue = [&] { return TT_CheckHueSimilarity(two.h, one.h, -1.0f); };
  auto lightness = [&] { return TT_CheckLightnessSimilarity(two.l, one.l); };
  auto saturation = [&] {
    return TT_CheckSaturationSimilarity(two.h, two.l, two.s, one.h, one.l, one.s);
  };
  auto bothChromatic = [&] {
    return TT_IsChromatic(two.h, two.l, two.s) && TT_IsChromatic(one.h, one.l, one.s);
  };
  auto bothAchromatic = [&] {
    return TT_IsAchromatic(two.h, two.l, two.s) && TT_IsAchromatic(one.h, one.l, one.s);
  };
  switch (mode) {
    case kVisualHue:
      if (bothChromatic()) return hue();
      return bothAchromatic() ? 1 : 0;
    case kVisualLightness:
      return lightness();
    case kVisualSaturation:
      return saturation();
    default:
      break;
  }
  if (bothChromatic()) {
    if (!hue() || !lightness()) return 0;
    return saturation() ? 1 : 0;
  }
  if (bothAchromatic()) return lightness();
  if (!lightness()) return 0;
  return saturation() ? 1 : 0;
}

}  // namespace vorlane::detail
