// A PNG encoder for views of pages: 8-bit RGB or palette pictures of up to 256 colours,
// filter type none, their rows made in bands on the processor's cores.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace vorlane::detail {

// A picture to encode. Palette pictures hold 1, 2, 4 or 8 bits per index (indices packed
// most significant bit first, as PNG stores them); RGB pictures 8 bits per sample.
struct PngPicture {
  int width = 0;
  int height = 0;
  int bitDepth = 8;
  // Three bytes (red, green, blue) per palette entry; empty for an RGB picture.
  std::vector<unsigned char> palette;
  // Writes the packed bytes of row y (top row 0) into out, RowBytes() of them. Called for
  // every row once, from several threads at once for different rows.
  std::function<void(int y, unsigned char* out)> row;

  bool IsPalette() const { return !palette.empty(); }
  std::int64_t RowBytes() const;
};

// The compression level of views (libdeflate's scale): its fastest, chosen by measurement on
// A4 pages (eight times faster than zlib's default level, files of about the same size).
inline constexpr int kViewCompressionLevel = 1;

// Encodes picture as a complete PNG file into out. Returns false, leaving out empty, for a
// picture without rows, of a size PNG cannot hold, of a palette of more than 256 entries or a
// bit depth that does not fit it, and when zlib fails.
bool EncodePng(const PngPicture& picture, int level, std::vector<unsigned char>& out);

// The palette form of width x height pixels 0x00RRGGBB (the top byte is ignored), top row
// first, when they hold at most 256 colours: the palette in order of first appearance and
// the smallest bit depth that holds it. False (picture untouched) for more colours. The
// pixels must outlive the picture.
bool PalettePicture(const std::uint32_t* pixels, int width, int height, PngPicture& picture);

// Appends colour 0x00RRGGBB to palette as its three bytes (red, green, blue).
inline void AppendPaletteColour(std::vector<unsigned char>& palette, std::uint32_t colour) {
  palette.push_back(static_cast<unsigned char>(colour >> 16));
  palette.push_back(static_cast<unsigned char>(colour >> 8));
  palette.push_back(static_cast<unsigned char>(colour));
}

// The palette picture of width x height pixels given as one palette index per pixel:
// indexRow(y, indices) writes the width indices of row y (each below the palette's entry
// count; called from several threads at once for different rows). The palette (three bytes
// per entry, at most 256 entries) is kept as given; the bit depth is the smallest that holds
// it, as PalettePicture chooses.
void IndexedPicture(int width, int height, std::vector<unsigned char> palette,
                    std::function<void(int y, unsigned char* indices)> indexRow,
                    PngPicture& picture);

// The RGB form of the same pixels.
void RgbPicture(const std::uint32_t* pixels, int width, int height, PngPicture& picture);

}  // namespace vorlane::detail
