// Map bytes as the per-pixel kernels see them, and pixel selections by map byte: which
// pixels a histogram, average, count or threshold takes.
#pragma once

#include <array>
#include <cstddef>

namespace vorlane::detail {

// The bytes of a map of the image's size: row y (from the top) starts at data + y * stride.
// data is null when there is no map.
struct MapRows {
  unsigned char* data = nullptr;
  int stride = 0;

  unsigned char* Row(int y) const {
    return data ? data + static_cast<ptrdiff_t>(y) * stride : nullptr;
  }
};

// Selects pixel (x, y) by the byte of a map at the same position: taken when accept[byte].
// Without a map every pixel is taken when all is true, none otherwise.
struct ByteSelection {
  MapRows map;
  std::array<bool, 256> accept{};
  bool all = true;

  // The map row of row y, or null without a map.
  const unsigned char* Row(int y) const { return map.Row(y); }
  // Whether pixel x of a row is taken; row is Row(y).
  bool Takes(const unsigned char* row, int x) const { return row ? accept[row[x]] : all; }
};

// Pixels whose byte has no bit in common with label; every pixel without a map.
ByteSelection WithoutBits(const MapRows& map, unsigned char label);
// Pixels whose byte has a bit in common with label; none without a map.
ByteSelection WithBits(const MapRows& map, unsigned char label);

}  // namespace vorlane::detail
