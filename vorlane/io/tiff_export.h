// Compact TIFF files of the library's images: CCITT Group 4 for bi-level pages, LZW or
// Deflate for grey and colour ones, with the resolution tags.
#pragma once

#include <filesystem>
#include <string>

class CImage;

namespace vorlane {

enum class TiffCompression { none, g4, lzw, deflate };

// "none", "g4", "lzw", "deflate".
const char* CompressionName(TiffCompression compression);

struct TiffExportOptions {
  TiffCompression compression = TiffCompression::g4;
  // Dots per inch written as XResolution and YResolution; 0 takes the image's own (GetDPI),
  // and no resolution tags are written when that is below 50 either.
  int dpi = 0;
};

// Writes image (bi-level, greyscale or high colour, with pixels) to a new TIFF file at path,
// replacing an existing one: bi-level pages as WhiteIsZero, 1 bit per pixel; greyscale as
// BlackIsZero, 8 bits; colour as RGB, 8 bits per sample. Group 4 is for bi-level pages only.
// Returns false, with the reason in error, for an image without pixels, a palette image, G4
// asked for a deeper image, or a file that cannot be written; a failed write leaves no file.
bool ExportTiff(CImage& image, const std::filesystem::path& path, const TiffExportOptions& options,
                std::string& error);

}  // namespace vorlane
