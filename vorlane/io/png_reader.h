// PNG pictures (libpng) as images of the library: grey (1 bit: bi-level) and colour,
// alpha laid over white.
#pragma once

#include <cstddef>

#include "vorlane/io/pages.h"

namespace vorlane {

// The facts of the PNG file held in the size bytes at data, from its header and the chunks
// before its pixels (pHYs in pixels per metre: dpi rounded). False, with the reason in
// error, when the bytes are no PNG or its header is damaged.
bool ReadPngInfo(const unsigned char* data, size_t size, PageInfo& facts, std::string& error);

// Decodes the PNG file held in the size bytes at data into a new image named name:
// 1-bit grey into CBiLevelImage (0 black) when no pixel value is transparent; other grey
// into CGreyScaleImage (2- and 4-bit values scaled to 0..255 exactly, 16-bit ones keep their
// high byte); palette and colour into CHiColorImage; alpha and transparent values are laid
// over white. The resolution is the pHYs chunk's. A picture beyond the size limit is refused
// before its pixels are allocated; damaged, truncated or empty files give an error, never a
// partial image.
LoadedImage DecodePng(const unsigned char* data, size_t size, const wchar_t* name);

}  // namespace vorlane
