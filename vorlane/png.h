// PNG views of display bitmaps, thumbnails and overlays, for people to look at.
#pragma once

#include <filesystem>

#include "platform/bitmap.h"

namespace vorlane {

// Writes bitmap as a PNG file at path (the fourth byte of each pixel is dropped): a palette
// picture when the bitmap has at most 256 colours, else 8-bit RGB. Returns false, and leaves no file behind, when the bitmap is empty (no
// bitmap, or a zero width or height) or the file cannot be written; an existing file at
// path is then left as it was. The file is written beside path under a temporary name and
// renamed into place when complete.
bool WritePng(const CBitmap& bitmap, const std::filesystem::path& path);

}  // namespace vorlane
