// The bi-level view of a processed page for people to look at: its black and white pixels
// as a small PNG that any browser shows.
#pragma once

#include <filesystem>

class CImage;

namespace vorlane {

// Writes the bi-level page as a palette PNG of one bit per pixel at path: black ink, white
// paper. The page is not changed. False, leaving no file behind, for a page that is not
// bi-level or has no pixels, and when the file cannot be written (written under a temporary
// name and renamed into place).
bool WriteBiLevelPng(CImage& page, const std::filesystem::path& path);

}  // namespace vorlane
