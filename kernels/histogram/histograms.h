// Histograms, average colours and row and column profiles of pixel rows.
#pragma once

#include <cstdint>

#include "kernels/histogram/selection.h"
#include "platform/types.h"

namespace vorlane::detail {

// Histogram flags, in the order in which their histograms are stored.
inline constexpr unsigned long kHistLuminance = 0x01;
inline constexpr unsigned long kHistRed = 0x02;
inline constexpr unsigned long kHistGreen = 0x04;
inline constexpr unsigned long kHistBlue = 0x08;
inline constexpr unsigned long kHistHue = 0x10;
inline constexpr unsigned long kHistLightness = 0x20;
inline constexpr unsigned long kHistSaturation = 0x40;

// Clears hist (256 entries) and counts the byte values of the selected pixels of rect (inside
// the image, possibly empty) of 1-byte rows.
void GreyHistogram(const unsigned char* const* rows, const RECT& rect, const ByteSelection& sel,
                   long* hist);

// Colour histograms of 4-byte rows (blue, green, red, unused). hists holds one pointer per
// set bit of flags (all 32 bits count; a null pointer is skipped); each is cleared, then the
// k-th set bit of the seven histogram flags fills pointer k from the selected pixels of rect:
// luminance trunc(0.3 r + 0.59 g + 0.11 b) in single precision; red, green, blue; hue,
// lightness, saturation of TT_RGB2HLS on the byte scale, truncated. Pure black and pure white
// have no hue and are not counted in the hue histogram.
void ColourHistograms(const unsigned char* const* rows, const RECT& rect, const ByteSelection& sel,
                      unsigned long flags, long* const* hists);

// Per-channel sums and count of the selected pixels of a width x height image.
struct ChannelSums {
  std::uint64_t red = 0;
  std::uint64_t green = 0;
  std::uint64_t blue = 0;
  std::uint64_t count = 0;
};

// Sums the channels of the selected pixels of rows of BytesPerPixel 1 (grey: the byte in all
// three) or 4 (blue, green, red, unused). 64-bit sums: a white A4 page sums beyond 32 bits.
template <int BytesPerPixel>
ChannelSums SumChannels(const unsigned char* const* rows, int width, int height,
                        const ByteSelection& sel);

// The colour value (red low byte, then green, then blue) of the truncated channel averages;
// 0 when nothing was summed.
unsigned long AverageColour(const ChannelSums& sums);

// Profile flags.
inline constexpr unsigned char kProfileDarkness = 0x01;   // grey: sums of 255 - g
inline constexpr unsigned char kProfileNonWhite = 0x02;   // grey: counts of g < 255
inline constexpr unsigned char kProfileAllPixels = 0x10;  // count background pixels too

// Row and column profiles over the region whose top-left pixel is (x, y): rowProfile has
// `height` entries for rows y.., columnProfile `width` entries for columns x.. (either null).
// Only the part `clip` of the region inside the image is visited; the entries of rows and
// columns outside it stay 0. A pixel counts when flags has kProfileAllPixels or its map byte
// differs from label (every pixel without a map).
struct ProfileRequest {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  RECT clip{0, 0, 0, 0};
  long* rowProfile = nullptr;
  long* columnProfile = nullptr;
  unsigned char flags = 0;
};

// Grey profiles: darkness sums (kProfileDarkness), else counts of non-white pixels
// (kProfileNonWhite), else nothing beyond clearing.
void GreyProfiles(const unsigned char* const* rows, const MapRows& map, unsigned char label,
                  const ProfileRequest& req);

// Bi-level profiles: per row (column) of the clipped region, its number of pixels minus the
// sum of the values (0 or 1) of its counted pixels: the pixels that are not counted white.
void BiLevelProfiles(const unsigned char* const* rows, const MapRows& map, unsigned char label,
                     const ProfileRequest& req);

}  // namespace vorlane::detail
