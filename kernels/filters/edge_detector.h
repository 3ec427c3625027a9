// Edge strength of a colour picture from hue and lightness differences in several directions.
#pragma once

namespace vorlane::detail {

// Writes the edge strength of the 4-byte colour picture src (blue, green, red, unused) into dst
// (same size, distinct rows) for x 1 .. width - 2 and y 1 .. height - 2; the border keeps what
// dst holds. Columns are visited left to right, rows top to bottom within each column. Each
// pixel starts at 255 and makes `directions` (>= 1) comparisons; the angle starts at 0, grows
// by 2 pi / directions after every comparison of every pixel, and selects the neighbour
// (x + dx, y - dy) with dx = 1 when trunc(10 cos angle) > 4, dy = 1 when trunc(10 sin angle) > 4.
// With hue (degrees) and lightness (percent) from TT_RGB2HLS (code 18), a comparison lowers
// the value by 256 / directions (not below 0) when |trunc(hue1 - hue2)| > 10 or
// |trunc(lightness1 - lightness2)| > 50. The result is written as a grey (all three channels).
void DetectEdges(const unsigned char* const* src, unsigned char* const* dst, int width, int height,
                 int directions);

}  // namespace vorlane::detail
