// The colour-space conversions and the perceptual colour tests.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "colourfunctions/colourfunctions.h"
#include "colourfunctions/srgb_table.h"
#include "kernels/colour/lab_rows.h"

namespace {

using vorlane::kHlsByteScale;
using vorlane::kHlsDegreePercentScale;
using vorlane::kLabScale;

struct Triple {
  float x, y, z;
};

Triple Hls(float r, float g, float b, unsigned char code = kHlsByteScale) {
  Triple t{-1, -1, -1};
  return TT_RGB2HLS(r, g, b, &t.x, &t.y, &t.z, code), t;
}

Triple Rgb(float h, float l, float s, unsigned char code = kHlsByteScale) {
  Triple t{-1, -1, -1};
  return TT_HLS2RGB(h, l, s, &t.x, &t.y, &t.z, code), t;
}

Triple Lab(float r, float g, float b) {
  Triple t{-1, -1, -1};
  return TT_sRGB2sLab(r, g, b, &t.x, &t.y, &t.z, kLabScale), t;
}

void ExpectNear(const Triple& t, double x, double y, double z, double tolerance) {
  EXPECT_NEAR(t.x, x, tolerance);
  EXPECT_NEAR(t.y, y, tolerance);
  EXPECT_NEAR(t.z, z, tolerance);
}

// CIE L*a*b* of an sRGB colour straight from the definitions, in double precision.
Triple ReferenceLab(double r, double g, double b) {
  auto linear = [](double c) {
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  auto f = [](double t) {
    const double d = 6.0 / 29.0;
    return t > d * d * d ? std::cbrt(t) : t / (3.0 * d * d) + 4.0 / 29.0;
  };
  const double lr = linear(r), lg = linear(g), lb = linear(b);
  const double x = (0.4124564 * lr + 0.3575761 * lg + 0.1804375 * lb) / 0.95047;
  const double y = 0.2126729 * lr + 0.7151522 * lg + 0.0721750 * lb;
  const double z = (0.0193339 * lr + 0.1191920 * lg + 0.9503041 * lb) / 1.08883;
  return {float(116.0 * f(y) - 16.0), float(500.0 * (f(x) - f(y))), float(200.0 * (f(y) - f(z)))};
}

TEST(ColourHls, ByteScaleLandmarksAndHueWrap) {
  const float sixth = 256.0f / 6.0f;
  // Dark red: l = (128 + 0) / 2, s = 128 / 128; light red: s = d / (510 - max - min).
  const float cases[][6] = {{255, 0, 0, 0, 127.5, 255},
                            {255, 255, 0, sixth, 127.5, 255},
                            {0, 255, 0, 2 * sixth, 127.5, 255},
                            {0, 255, 255, 128, 127.5, 255},
                            {0, 0, 255, 4 * sixth, 127.5, 255},
                            {255, 0, 255, 5 * sixth, 127.5, 255},
                            {128, 0, 0, 0, 64, 255},
                            {255, 128, 128, 0, 191.5, 255},
                            {191, 64, 64, 0, 127.5, 127}};
  for (const auto& c : cases) ExpectNear(Hls(c[0], c[1], c[2]), c[3], c[4], c[5], 1e-4);
  // One step short of red, coming from magenta: the largest hue of all, still below 256; one
  // step past red towards yellow.
  const float last = Hls(255, 0, 1).x;
  EXPECT_TRUE(last > 255.0f && last < 256.0f && Hls(255, 1, 0).x < 1.0f) << last;
}

TEST(ColourHls, EveryByteTripleInRangeAndRoundTripsExactly) {
  long outOfRange = 0, changed = 0;
  for (int r = 0; r < 256; ++r)
    for (int g = 0; g < 256; ++g)
      for (int b = 0; b < 256; ++b) {
        // Truncating callers get the channel bytes back, on either scale.
        const Triple hls = Hls(float(r), float(g), float(b));
        const Triple n = Hls(float(r), float(g), float(b), kHlsDegreePercentScale);
        outOfRange +=
            !(hls.x >= 0 && hls.x < 256 && hls.y >= 0 && hls.y < 256 && hls.z >= 0 && hls.z < 256 &&
              n.x >= 0 && n.x < 360 && n.y >= 0 && n.y <= 100 && n.z >= 0 && n.z <= 100);
        for (const Triple& t :
             {Rgb(hls.x, hls.y, hls.z), Rgb(n.x, n.y, n.z, kHlsDegreePercentScale)})
          changed += int(t.x) != r || int(t.y) != g || int(t.z) != b;
      }
  EXPECT_EQ(outOfRange * 1000 + changed, 0);
}

TEST(ColourHls, OutOfRangeInputsClampAndNullOutputsWriteNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ExpectNear(Hls(300, -5, nan), 0, 127.5, 255, 0);
  ExpectNear(Hls(1e30f, 1e30f, 1e30f), 0, 255, 0, 0);
  float h = -1, l = -1, s = -1, r = -1, g = -1, b = -1;
  TT_RGB2HLS(10, 20, 30, &h, nullptr, &s, kHlsByteScale);
  TT_HLS2RGB(10, 20, 30, &r, &g, nullptr, kHlsByteScale);
  TT_sRGB2sLab(10, 20, 30, nullptr, &l, &b, kLabScale);
  EXPECT_EQ((std::vector<float>{h, s, r, g, l, b}), std::vector<float>(6, -1));
}

TEST(ColourHlsInverse, AnyInputGivesChannelsInRangeAndHueIsTakenModuloTheTurn) {
  // Table transformations hand arbitrary integers back; nothing may leave 0..255.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float values[] = {-1e9f, -1000,  -256, -1,  -0.5f, 0,    0.5f, 1,   127.5f,
                          255,   255.9f, 256,  300, 1000,  1e9f, nan,  inf, -inf};
  for (unsigned char code : {kHlsByteScale, kHlsDegreePercentScale})
    for (float h : values)
      for (float l : values)
        for (float s : values) {
          const Triple t = Rgb(h, l, s, code);
          ASSERT_TRUE(t.x >= 0 && t.x <= 255 && t.y >= 0 && t.y <= 255 && t.z >= 0 && t.z <= 255)
              << h << " " << l << " " << s;
        }
  // Hue is taken modulo the turn; lightness and saturation clamp onto their ends.
  const Triple base = Rgb(10.5f, 100, 180);
  ExpectNear(Rgb(10.5f - 256.0f, 100, 180), base.x, base.y, base.z, 1e-3);
  ExpectNear(Rgb(-120, 50, 100, kHlsDegreePercentScale), 0, 0, 255, 0);
  ExpectNear(Rgb(0, 400, 255), 255, 255, 255, 0);
  ExpectNear(Rgb(0, 127.5f, 900), 255, 0, 0, 0);
  ExpectNear(Rgb(0, -3, 255), 0, 0, 0, 0);
}

TEST(ColourLab, AgreesWithDoublePrecisionDefinition) {
  // Covers both branches of the companding function (dark channels take the linear one)
  // and the cube root over its whole range.
  double worst = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) {
        const Triple got = Lab(float(r), float(g), float(b)), want = ReferenceLab(r, g, b);
        worst = std::fmax(
            worst, std::fmax(std::fabs(got.x - want.x),
                             std::fmax(std::fabs(got.y - want.y), std::fabs(got.z - want.z))));
      }
  EXPECT_LT(worst, 1e-3);
}

TEST(ColourLab, RowKernelGivesTheScalarBitsForEveryByteTriple) {
  // Rows of every green and blue for each red, cut to every length modulo 16 so that each
  // vector width (up to 16 pixels) and the scalar tail convert some; the unused byte is
  // ignored.
  std::vector<unsigned char> row(4 * 65536, 255);
  std::vector<float> L(65536), a(65536), b(65536);
  long differ = 0;
  for (int r = 0; r < 256; ++r) {
    for (int i = 0; i < 65536; ++i)
      row[4 * i] = i & 255, row[4 * i + 1] = i >> 8, row[4 * i + 2] = r;
    const int count = 65536 - r % 16;
    vorlane::detail::LabRow(row.data(), count, L.data(), a.data(), b.data());
    for (int i = 0; i < count; ++i) {
      const Triple t = Lab(float(r), float(i >> 8), float(i & 255));
      for (auto [got, want] : {std::pair{L[i], t.x}, std::pair{a[i], t.y}, std::pair{b[i], t.z}})
        differ += std::bit_cast<uint32_t>(got) != std::bit_cast<uint32_t>(want);
    }
  }
  EXPECT_EQ(differ, 0);
}

TEST(ColourLab, FractionalAndOutOfRangeInputs) {
  // Between two whole values the exact curve is used; values outside 0..255 clamp.
  const Triple want = ReferenceLab(127.5, 40.25, 200.75), red = Lab(255, 0, 0);
  ExpectNear(Lab(127.5f, 40.25f, 200.75f), want.x, want.y, want.z, 1e-3);
  ExpectNear(Lab(400, -20, std::numeric_limits<float>::quiet_NaN()), red.x, red.y, red.z, 0);
}

TEST(ColourPredicates, ChromaAndLightnessThresholds) {
  // At l = 153 the chroma is s * 204 / 255 = 0.8 s: s 50 gives 40, 49 gives 39.2, 26 gives
  // 20.8, 25 gives 20. Lightness at either end leaves no chroma; values outside 0..255 clamp.
  EXPECT_EQ((std::vector<int>{TT_IsChromatic(0, 153, 50), TT_IsChromatic(0, 153, 49),
                              TT_IsAchromatic(0, 153, 49), TT_IsAchromatic(0, 153, 26),
                              TT_IsAchromatic(0, 153, 25), TT_IsAchromatic(0, 255, 255),
                              TT_IsAchromatic(0, -7, 900), TT_IsChromatic(0, 127, 900)}),
            (std::vector<int>{1, 0, 0, 0, 1, 1, 1, 1}));
  EXPECT_EQ(
      (std::vector<int>{
          TT_CheckLightnessSimilarity(100, 132), TT_CheckLightnessSimilarity(132, 100),
          TT_CheckLightnessSimilarity(100, 133), TT_CheckLightnessSimilarity(0, 255),
          TT_CheckLightnessSimilarity(-50, 0), TT_CheckLightnessSimilarity(INT_MIN, INT_MAX)}),
      (std::vector<int>{1, 1, 0, 0, 1, 0}));
}

TEST(ColourPredicates, HueToleranceAndWrap) {
  // The default of 20 degrees covers 14 steps of 1.40625 degrees, not 15; hues wrap and are
  // taken modulo 256, extreme integers included.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  auto similar = [](int a, int b, float tolerance) {
    return TT_CheckHueSimilarity(a, b, tolerance);
  };
  EXPECT_EQ((std::vector<int>{similar(100, 114, -1), similar(100, 115, -1), similar(115, 100, -1),
                              similar(250, 8, -1), similar(9, 250, -1), similar(0, 128, -1),
                              similar(100, 114, nan), similar(100, 115, -7)}),
            (std::vector<int>{1, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(
      (std::vector<int>{similar(100, 114, 19.6875f), similar(100, 114, 19.68f), similar(7, 7, 0),
                        similar(7, 8, 0), similar(0, 128, 180), similar(-1, 255, 0),
                        similar(261, 5, 0), similar(INT_MIN, INT_MAX, 1.5f)}),
      (std::vector<int>{1, 0, 1, 0, 1, 1, 1, 1}));
}

TEST(ColourPredicates, SaturationComparesChroma) {
  // Truncated byte-scale h, l, s of a colour, as the callers pass them to the predicates.
  auto similar = [](std::array<int, 3> p, std::array<int, 3> q) {
    const Triple a = Hls(float(p[0]), float(p[1]), float(p[2]));
    const Triple b = Hls(float(q[0]), float(q[1]), float(q[2]));
    return TT_CheckSaturationSimilarity(int(a.x), int(a.y), int(a.z), int(b.x), int(b.y), int(b.z));
  };
  // At l = 153, s = 50 has chroma 40; s = 10 chroma 8 (32 apart), s = 9 chroma 7.2. Near-white
  // (full HLS saturation) is as colourless as white; hue does not enter.
  EXPECT_EQ((std::vector<int>{TT_CheckSaturationSimilarity(0, 153, 50, 0, 153, 10),
                              TT_CheckSaturationSimilarity(0, 153, 9, 0, 153, 50),
                              TT_CheckSaturationSimilarity(0, 120, 200, 128, 120, 200),
                              similar({250, 250, 255}, {255, 255, 255}),
                              similar({255, 0, 0}, {128, 128, 128})}),
            (std::vector<int>{1, 0, 1, 1, 0}));
  EXPECT_EQ(int(Hls(250, 250, 255).z), 255);
}

}  // namespace
