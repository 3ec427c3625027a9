// The synthetic A4 page at 300 dpi that the benchmarks share: lines of text-like dark glyphs
// on light paper with uneven lighting and noise, in colour, greyscale, bi-level and low
// colour.
#pragma once

class CBiLevelImage;
class CGreyScaleImage;
class CHiColorImage;
class CLoColorImage;

namespace vorlane::bench {

inline constexpr int kPageWidth = 2480;
inline constexpr int kPageHeight = 3508;

// Each page is built on first use, once per process, from a fixed seed: the same pixels on
// every run and machine. The pages are shared by all benchmarks: read them, or work on a
// duplicate (CreateDuplicate) when an operation changes pixels, maps or components.
//
// The colour page: warm paper lit unevenly (brighter towards the upper left), about 58
// lines of about 70 glyph blobs each (strokes, rings, dots; some glyphs in two pieces),
// mostly black ink with some blue and red lines, and per-channel noise.
CHiColorImage& BenchColourPage();
// The colour page converted to grey by the weighted luminance.
CGreyScaleImage& BenchGreyPage();
// The grey page binarised at 128 (1 = paper, 0 = ink): about 4,000 components.
CBiLevelImage& BenchBiLevelPage();
// The colour page reduced to a palette of at most 256 colours.
CLoColorImage& BenchLoColourPage();

// The page of one format, for benchmarks written once for all formats.
template <class Format>
Format& BenchPage();
template <>
inline CHiColorImage& BenchPage() {
  return BenchColourPage();
}
template <>
inline CGreyScaleImage& BenchPage() {
  return BenchGreyPage();
}
template <>
inline CBiLevelImage& BenchPage() {
  return BenchBiLevelPage();
}
template <>
inline CLoColorImage& BenchPage() {
  return BenchLoColourPage();
}

}  // namespace vorlane::bench
