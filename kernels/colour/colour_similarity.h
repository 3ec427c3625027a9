// Colour likeness of two colours: the perceptual HLS test and the CIE Lab colour difference.
#pragma once

#include <cmath>

namespace vorlane::detail {

// A colour in CIE L*a*b* units as the sRGB conversion gives it.
struct LabColour {
  float L;
  float a;
  float b;
};

// The colour (r, g, b), channel values converted to float, through the sRGB to Lab
// conversion with the Lab scale code. Channels outside 0..255 are clamped by the conversion.
LabColour LabOf(int r, int g, int b);

// Euclidean distance of two Lab colours in single precision: the square root of
// (L1 - L2)^2 + (a1 - a2)^2 + (b1 - b2)^2, summed in that order. 0 for equal colours.
inline float LabDistance(const LabColour& p, const LabColour& q) {
  const float dL = p.L - q.L;
  const float da = p.a - q.a;
  const float db = p.b - q.b;
  return std::sqrt(dL * dL + da * da + db * db);
}

// The Lab distance of the colours (r1, g1, b1) and (r2, g2, b2).
float LabDistance(int r1, int g1, int b1, int r2, int g2, int b2);

// Modes of the perceptual test.
inline constexpr int kVisualHue = 0;
inline constexpr int kVisualLightness = 1;
inline constexpr int kVisualSaturation = 2;
inline constexpr int kVisualFull = 100;

// Perceptual likeness of colour 1 (r1, g1, b1) and colour 2 (r2, g2, b2), channels 0..255.
// Both go to byte-scale HLS; the truncated h, l, s feed the hue, lightness and saturation
// predicates, colour 2's values first. kVisualFull: two chromatic colours must agree in hue,
// lightness and saturation, two greys in lightness, any other pair in lightness and
// saturation. kVisualHue: the hue predicate for two chromatic colours, 1 for two greys, else
// 0. kVisualLightness and kVisualSaturation: that predicate alone. Any other mode: 0. The
// answer is the deciding predicate's (non-zero when alike).
int VisualSimilarity(float r1, float g1, float b1, float r2, float g2, float b2, int mode);

}  // namespace vorlane::detail
