// Colour-space conversions and perceptual colour tests.
#include "colourfunctions/colourfunctions.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "colourfunctions/srgb_table.h"

namespace vorlane::detail {

// v clamped to [0, limit]; NaN gives 0.
inline float ClampUnit(float v, float limit) {
  const float t = v > 0.0f ? v : 0.0f;
  return t < limit ? t : limit;
}

inline int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Output scale of the HLS conversions: the value of a full hue turn and of lightness or
// saturation 1, with the factors that take them back to sixths of a turn and to fractions.
struct HlsScale {
  float hueTurn;
  float unit;
  float toSixths;
  float toFraction;
};

inline HlsScale ScaleOf(unsigned char code) {
  return code == kHlsDegreePercentScale ? HlsScale{360.0f, 100.0f, 6.0f / 360.0f, 1.0f / 100.0f}
                                        : HlsScale{256.0f, 255.0f, 6.0f / 256.0f, 1.0f / 255.0f};
}

// Cube root of x for x in [0.008, 2]: an exponent-thirding first guess (within 4
// percent) refined by two Halley steps y <- y (y^3 + 2x) / (2y^3 + x), which triple the
// correct digits each. Relative error below 3e-7 over the range.
inline float CubeRoot(float x) {
  float y = std::bit_cast<float>(std::bit_cast<std::uint32_t>(x) / 3u + kCubeRootBias);
  float y3 = y * y * y;
  y = y * (y3 + 2.0f * x) / (2.0f * y3 + x);
  y3 = y * y * y;
  return y * (y3 + 2.0f * x) / (2.0f * y3 + x);
}

// Linear light of an sRGB channel value c in 0..255: the table for whole values, the
// transfer curve itself otherwise.
inline float SrgbToLinear(float c) {
  const int i = static_cast<int>(c);
  if (static_cast<float>(i) == c) return kSrgbToLinear[i];
  const double v = c / 255.0;
  return static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
}

// The L*a*b* companding function of a white-relative tristimulus value t.
inline float LabF(float t) { return t > kLabEpsilon ? CubeRoot(t) : kLabSlope * t + kLabOffset; }

// Share 0..1 of the chroma that one channel receives at hue x (sixths of a turn, 0..6),
// as the distance-based ramp |x - centre| clamped: red is full within one sixth of 0,
// green within one sixth of 2, blue of 4, each falling to nothing over the next sixth.
inline float RampShare(float distance) {
  // Clamped with max(t, 0) = (t + |t|) / 2, exact, then min(t, 1) = (t + 1 - |t - 1|) / 2,
  // within 1e-7: both compile without the branches that the compiler would otherwise emit
  // for hues that change from pixel to pixel.
  const float t = 0.5f * (distance + std::fabs(distance));
  return 0.5f * (t + 1.0f - std::fabs(t - 1.0f));
}

// A channel value m1 + share of the chroma, in 0..255 up to rounding, drawn onto a whole
// number within 0.001 of it (which also brings the rounding overshoots back into range).
inline float TidyChannel(float v) {
  const float n = static_cast<float>(static_cast<int>(v + 0.5f));
  v = std::fabs(v - n) < 1e-3f ? n : v;
  v = 0.5f * (v + std::fabs(v));
  return v < 255.0f ? v : 255.0f;
}

// Chroma (max - min of the channels) times 255 of a byte-scale lightness and saturation.
inline int Chroma255(int l, int s) {
  return ClampByte(s) * (255 - std::abs(2 * ClampByte(l) - 255));
}

}  // namespace vorlane::detail

using namespace vorlane;
using namespace vorlane::detail;

void TT_RGB2HLS(float r, float g, float b, float* h, float* l, float* s,
                unsigned char code) noexcept {
  if (h == nullptr || l == nullptr || s == nullptr) return;
  const HlsScale scale = ScaleOf(code);
  r = ClampUnit(r, 255.0f);
  g = ClampUnit(g, 255.0f);
  b = ClampUnit(b, 255.0f);
  // Minima, maxima, masks and an indexed pick instead of branches: the sector of a pixel is
  // as good as random on noisy scans, and mispredicted branches would cost most of the time.
  float max = r > g ? r : g;
  max = max > b ? max : b;
  float min = r < g ? r : g;
  min = min < b ? min : b;
  const float sum = max + min;
  const float d = max - min;
  *l = code == kHlsDegreePercentScale ? 100.0f * sum / 510.0f : 0.5f * sum;
  // Saturation: chroma over the largest chroma possible at this lightness, 255 - |sum - 255|
  // (0 for greys, where the divisor is kept from 0).
  float room = 255.0f - std::fabs(sum - 255.0f);
  room = room > FLT_MIN ? room : FLT_MIN;
  const float sat = scale.unit * d / room;
  *s = sat < scale.unit ? sat : scale.unit;
  // Hue: the sector of the largest channel (0 red, 2 green, 4 blue, in sixths of a turn)
  // plus the signed position within it, as one fraction over 6d; greys get 0 / 6d = 0.
  const float sixths[3] = {(g - b) + static_cast<float>(g < b) * (6.0f * d), 2.0f * d + (b - r),
                           4.0f * d + (r - g)};
  const int sector = static_cast<int>(max != r) * (1 + static_cast<int>(max != g));
  const float hue = scale.hueTurn * sixths[sector] / (6.0f * (d > FLT_MIN ? d : FLT_MIN));
  *h = hue < scale.hueTurn ? hue : 0.0f;
}

void TT_HLS2RGB(float h, float l, float s, float* r, float* g, float* b,
                unsigned char code) noexcept {
  if (r == nullptr || g == nullptr || b == nullptr) return;
  const HlsScale scale = ScaleOf(code);
  // Lightness on the channel scale, saturation as a fraction.
  const float light = ClampUnit(l, scale.unit) * (255.0f / scale.unit);
  const float sat = ClampUnit(s, scale.unit) * scale.toFraction;
  const float chroma = sat * (255.0f - std::fabs(2.0f * light - 255.0f));
  const float m1 = light - 0.5f * chroma;
  // Hue in sixths of a turn, wrapped into [0, 6); NaN and infinities give 0.
  float x = h * scale.toSixths;
  if (!(x >= 0.0f && x < 6.0f)) {
    x = std::isfinite(x) ? x - 6.0f * std::floor(x / 6.0f) : 0.0f;
    if (!(x >= 0.0f && x < 6.0f)) x = 0.0f;
  }
  // Branch-free hexcone: each channel is the lowest value plus its share of the chroma.
  *r = TidyChannel(m1 + chroma * RampShare(std::fabs(x - 3.0f) - 1.0f));
  *g = TidyChannel(m1 + chroma * RampShare(2.0f - std::fabs(x - 2.0f)));
  *b = TidyChannel(m1 + chroma * RampShare(2.0f - std::fabs(x - 4.0f)));
}

void TT_sRGB2sLab(float r, float g, float b, float* L, float* a, float* bStar,
                  unsigned char /*code*/) noexcept {
  if (L == nullptr || a == nullptr || bStar == nullptr) return;
  const float lr = SrgbToLinear(ClampUnit(r, 255.0f));
  const float lg = SrgbToLinear(ClampUnit(g, 255.0f));
  const float lb = SrgbToLinear(ClampUnit(b, 255.0f));
  // White-relative X, Y, Z of the linear channels.
  const float fx = LabF(kLinearToX[0] * lr + kLinearToX[1] * lg + kLinearToX[2] * lb);
  const float fy = LabF(kLinearToY[0] * lr + kLinearToY[1] * lg + kLinearToY[2] * lb);
  const float fz = LabF(kLinearToZ[0] * lr + kLinearToZ[1] * lg + kLinearToZ[2] * lb);
  *L = 116.0f * fy - 16.0f;
  *a = 500.0f * (fx - fy);
  *bStar = 200.0f * (fy - fz);
}

int TT_IsChromatic(int /*h*/, int l, int s) noexcept {
  return Chroma255(l, s) >= kChromaticMinChroma * 255 ? 1 : 0;
}

int TT_IsAchromatic(int /*h*/, int l, int s) noexcept {
  return Chroma255(l, s) <= kAchromaticMaxChroma * 255 ? 1 : 0;
}

int TT_CheckHueSimilarity(int h1, int h2, float tolerance) noexcept {
  if (!(tolerance >= 0.0f)) tolerance = kDefaultHueToleranceDegrees;
  // Steps around the circle of 256, the shorter way (unsigned: no overflow for any int).
  unsigned steps = (static_cast<unsigned>(h1) - static_cast<unsigned>(h2)) & 255u;
  if (steps > 128u) steps = 256u - steps;
  return static_cast<float>(steps) * (360.0f / 256.0f) <= tolerance ? 1 : 0;
}

int TT_CheckLightnessSimilarity(int l1, int l2) noexcept {
  return std::abs(ClampByte(l1) - ClampByte(l2)) <= kLightnessTolerance ? 1 : 0;
}

int TT_CheckSaturationSimilarity(int /*h1*/, int l1, int s1, int /*h2*/, int l2, int s2) noexcept {
  return std::abs(Chroma255(l1, s1) - Chroma255(l2, s2)) <= kChromaTolerance * 255 ? 1 : 0;
}
