// Colour-space conversions (RGB to and from HLS, sRGB to CIE L*a*b*) and perceptual tests
// of hue, lightness and saturation likeness, cheap enough to run once per pixel.
#pragma once

namespace vorlane {

// Scale codes of the conversions.
//
// kHlsByteScale (36): h, l and s on the byte scale. Hue covers the colour circle of 360
// degrees in 256 equal steps (h = degrees * 256 / 360, in [0, 256)), so that every byte value
// is a hue bin of 1.40625 degrees and 255 neighbours 0; lightness and saturation 0..1 map
// onto 0..255 (l = (max + min) / 2 of the channels). Every output lies in [0, 256) and so
// truncates into 0..255.
//
// kHlsDegreePercentScale (18): hue in degrees in [0, 360), lightness and saturation in
// percent 0..100.
//
// kLabScale (16): CIE 1976 L*a*b* in its own units (L* 0..100, a* and b* roughly
// -128..128).
inline constexpr unsigned char kHlsByteScale = 36;
inline constexpr unsigned char kHlsDegreePercentScale = 18;
inline constexpr unsigned char kLabScale = 16;

// Thresholds of the perceptual tests, all on the byte scale of kHlsByteScale except the hue
// tolerance, which is in degrees.
//
// Chroma c is the colourfulness max - min of the channels, recovered from byte-scale l and s
// as c = s * (255 - |2l - 255|) / 255 (0..255). Unlike HLS saturation it vanishes towards
// black and white, where a saturation of 1 can belong to a colour one step from white.
inline constexpr float kDefaultHueToleranceDegrees = 20.0f;  // hue alike within 20 degrees
inline constexpr int kLightnessTolerance = 32;               // |l1 - l2| at most an eighth
inline constexpr int kChromaTolerance = 32;                  // |c1 - c2| at most an eighth
inline constexpr int kChromaticMinChroma = 40;               // hue usable from c >= 40 on
inline constexpr int kAchromaticMaxChroma = 20;              // grey up to c <= 20

}  // namespace vorlane

// Converts RGB channels to hexcone HLS.
// r, g, b: channel values 0..255 (channel bytes as floats); values outside are clamped and
// NaN counts as 0. With max and min the largest and smallest channel and d = max - min:
//   lightness L = (max + min) / 510 (0..1);
//   saturation S = d / (max + min) when max + min <= 255, else d / (510 - max - min); 0 for
//   greys (d = 0);
//   hue H in sixths of a turn: (g - b) / d when red is the maximum (plus 6 when negative),
//   2 + (b - r) / d when green is, else 4 + (r - g) / d; 0 for greys.
// code selects the output scale: kHlsDegreePercentScale gives degrees and percent, every
// other code the byte scale of kHlsByteScale (see there). Each output is computed with a
// single rounding division, so that for channel bytes an output that is a whole number
// mathematically is exactly that number.
// Nothing is written when any output pointer is null.
void TT_RGB2HLS(float r, float g, float b, float* h, float* l, float* s,
                unsigned char code) noexcept;

// Converts hexcone HLS back to RGB channels 0..255; the inverse of TT_RGB2HLS with the same
// code. h, l, s on the scale that code selects (as for TT_RGB2HLS). Hue is taken modulo the
// full turn (any value, negative included); lightness and saturation are clamped to their
// range; NaN counts as 0. With x the hue in sixths of a turn (0..6), C = S (255 - |510L - 255|)
// the chroma and m = 255L - C/2 the lowest channel, each channel is m + C times its share
// clamp(t, 0, 1), where t = |x - 3| - 1 for red, 2 - |x - 2| for green, 2 - |x - 4| for blue.
// Results are clamped to 0..255, and results within 0.001 of a whole number are returned as
// that number, so that truncating the round trip of any channel bytes through TT_RGB2HLS
// and back gives the same bytes (the float error of the round trip stays below 3e-4).
// Nothing is written when any output pointer is null.
void TT_HLS2RGB(float h, float l, float s, float* r, float* g, float* b,
                unsigned char code) noexcept;

// Converts sRGB channels to CIE 1976 L*a*b* under the D65 white point.
// r, g, b: sRGB channel values 0..255 (clamped; NaN counts as 0). Each channel is linearised
// with the sRGB transfer curve (a 256-entry table for whole values), taken to XYZ with the
// sRGB primaries, divided by the white (0.95047, 1, 1.08883) and mapped with
// f(t) = t^(1/3) above (6/29)^3, else t / (3 (6/29)^2) + 4/29:
// L = 116 f(Y) - 16, a = 500 (f(X) - f(Y)), b = 200 (f(Y) - f(Z)).
// The outputs are always in CIE units (kLabScale); code is accepted and has no other value.
// Nothing is written when any output pointer is null.
void TT_sRGB2sLab(float r, float g, float b, float* L, float* a, float* bStar,
                  unsigned char code) noexcept;

// Non-zero when the byte-scale colour (h, l, s) has a usable hue: its chroma (see
// kChromaticMinChroma above) is at least kChromaticMinChroma. h is not consulted; l and s
// are clamped to 0..255. A colour may be neither chromatic nor achromatic.
int TT_IsChromatic(int h, int l, int s) noexcept;

// Non-zero when the byte-scale colour (h, l, s) is a grey: its chroma is at most
// kAchromaticMaxChroma. h is not consulted; l and s are clamped to 0..255.
int TT_IsAchromatic(int h, int l, int s) noexcept;

// Non-zero when two byte-scale hues are alike: their distance around the circle,
// min(|h1 - h2| mod 256, 256 - that) steps of 1.40625 degrees, is at most tolerance degrees.
// Hues are taken modulo 256. A negative tolerance (callers pass -1.0) or NaN selects
// kDefaultHueToleranceDegrees; a tolerance of 180 or more accepts every pair.
int TT_CheckHueSimilarity(int h1, int h2, float tolerance) noexcept;

// Non-zero when two byte-scale lightnesses differ by at most kLightnessTolerance. Values
// are clamped to 0..255. Answers exactly 1 or 0.
int TT_CheckLightnessSimilarity(int l1, int l2) noexcept;

// Non-zero when two byte-scale colours are alike in colourfulness: their chromas (see
// kChromaticMinChroma above) differ by at most kChromaTolerance. Chroma rather than HLS
// saturation is compared because saturation loses its meaning near black and white. The
// hues are not consulted; l and s are clamped to 0..255.
int TT_CheckSaturationSimilarity(int h1, int l1, int s1, int h2, int l2, int s2) noexcept;
