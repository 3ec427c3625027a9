// Views of a processed page's own pixels for people to look at, as PNG files that any
// browser shows: the bi-level result, and the page itself.
#pragma once

#include <filesystem>

class CImage;

namespace vorlane {

// Writes the bi-level page as a palette PNG of one bit per pixel at path: black ink, white
// paper. The page is not changed. False, leaving no file behind, for a page that is not
// bi-level or has no pixels, and when the file cannot be written (written under a temporary
// name and renamed into place).
bool WriteBiLevelPng(CImage& page, const std::filesystem::path& path);

// Writes the page's own pixels as a PNG at path: a bi-level page as WriteBiLevelPng, a
// greyscale one as 8-bit grey levels (a palette of the 256 greys), a colour one as 8-bit RGB.
// False, leaving no file behind, for a palette page or one without pixels, and when the file
// cannot be written.
bool WritePagePng(CImage& page, const std::filesystem::path& path);

}  // namespace vorlane
