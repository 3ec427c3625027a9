// Point operations on pixel rows and map bytes: table transformations, equalization levels,
// negatives, fills, colour reduction, paper marking, label inversion and counting.
#pragma once

#include <cstdint>

#include "kernels/histogram/selection.h"
#include "platform/types.h"

namespace vorlane::detail {

// Replaces each byte b of the rect's pixels (1-byte rows) by table[b].
void ApplyByteTable(unsigned char* const* rows, const RECT& rect, const unsigned char* table);

// Transforms every pixel of a width x height image of 4-byte rows through table (256 ints,
// low byte used for channels): red, green and blue by flags 0x02, 0x04, 0x08 in that order;
// then, when any of 0x10, 0x20, 0x40 is set, hue (unless black or white), lightness and
// saturation of TT_RGB2HLS (code 36) become table[trunc(value)] and the pixel takes the
// truncated channels of TT_HLS2RGB.
void TransformColours(unsigned char* const* rows, int width, int height, const int* table,
                      unsigned long flags);

// Equalization levels of a histogram: level[i] = trunc(c[i] * 255 / N) with c the cumulative
// counts and N = c[255], the product in 64 bits and the division in double. False (levels
// untouched) when the histogram counts nothing.
bool EqualizationLevels(const long* hist, unsigned char* levels);

// 255 - c for blue, green and red of 4-byte rows; the fourth byte stays.
void NegateColours(unsigned char* const* rows, int width, int height);
// Bi-level negative: 0 becomes 1, anything else 0.
void NegateBiLevel(unsigned char* const* rows, int width, int height);
// Sets blue, green and red of every pixel of 4-byte rows.
void FillColour(unsigned char* const* rows, int width, int height, unsigned char red,
                unsigned char green, unsigned char blue);
// Keeps the top three bits of each channel of the selected pixels of 4-byte rows.
void ReduceColours(unsigned char* const* rows, int width, int height, const ByteSelection& sel);

// ORs label into the map byte of every pixel of 4-byte rows whose red, green and blue each
// differ from the given ones by less than tolerance.
void MarkSimilar(const unsigned char* const* rows, int width, int height, int red, int green,
                 int blue, int tolerance, const MapRows& map, unsigned char label);

// Removes the label bits from map bytes that have any of them, adds them to the others.
void InvertLabel(const MapRows& map, int width, int height, unsigned char label);

// Number of selected pixels of a width x height image.
std::int64_t CountSelected(int width, int height, const ByteSelection& sel);

}  // namespace vorlane::detail
