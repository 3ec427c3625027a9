// Every page of a TIFF file, loaded with the library's TIFF readers (CreateFromTIFF).
#pragma once

#include <filesystem>

#include "vorlane/io/pages.h"

namespace vorlane {

// Opens the TIFF file at path once and lists its pages: the directories of its main chain,
// in order, except reduced-resolution subfiles (NewSubfileType bit 0, or the old
// SubfileType 2) such as thumbnails. Load(i) selects page i and reads it as ImgLoadFromFile
// reads a file's first page: WhiteIsZero and BlackIsZero pages of 1 bit into CBiLevelImage,
// deeper ones into CGreyScaleImage; pages of every other photometric interpretation
// (RGB, palette, YCbCr, ...) through libtiff's RGBA conversion into CHiColorImage. Then the
// page's XResolution and YResolution (inches, or centimetres converted; rounded) become the
// image's resolution.
OpenedPages OpenTiffPages(const std::filesystem::path& path);

}  // namespace vorlane
