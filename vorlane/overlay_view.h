// The overlay view of a processed page for people to look at: the page itself, with the
// pixels its maps label tinted, so that a page and its binarisation compare at a glance.
#pragma once

#include <filesystem>

class CImage;

namespace vorlane {

// Writes page as a palette PNG at path: every pixel shows the page's grey value (colour
// pages their luminance; bi-level pages black and white), quantised to 32 levels. Pixels
// that the "Standard" map does not mark as "Background" (on a bi-level page: its black
// pixels) are ink, tinted red at partial opacity; pixels of a visible type of the "Dorvale"
// map other than "Paper" take that type's colour at partial opacity instead. Background
// stays untouched. The page is not changed. False, leaving no file behind, for a page
// without pixels or when the file cannot be written (written under a temporary name).
bool WriteOverlayPng(CImage& page, const std::filesystem::path& path);

}  // namespace vorlane
