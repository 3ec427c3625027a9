// New images of the library's own classes for pictures decoded from files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CImage;

namespace vorlane::detail {

enum class NewImageFormat { kBiLevel, kGrey, kColour };

// A new image and its pixel rows: rows[y] is row y from the top, of width pixels of one byte
// (bi-level: 1 white, 0 black; grey) or four (blue, green, red, fourth byte); the bytes past
// the width are 0.
struct NewImage {
  std::unique_ptr<CImage> image;
  unsigned char* const* rows = nullptr;
};

// Makes a CBiLevelImage, CGreyScaleImage or CHiColorImage of width x height pixels named
// name. False, with the reason in error, when either side is 0 or the pixel buffer would
// exceed the size limit of pictures read from files; nothing is allocated then. Throws
// std::bad_alloc when memory runs out.
bool MakeNewImage(NewImageFormat format, uint32_t width, uint32_t height, const wchar_t* name,
                  NewImage& out, std::string& error);

}  // namespace vorlane::detail
