// What a page file holds, how its page is skewed, and its display bitmap: the texts and the
// picture of the tool's info, skew and show commands.
#pragma once

#include <filesystem>
#include <string>

#include "vorlane/skew.h"

class CBitmap;
class CImage;

namespace vorlane::pipeline {

// Lines naming file (as given) with its kind (TIFF, PNG, JPEG or archive), then image's format,
// size, resolution, name, maps (name, label mode, pixels per visible type) and component count.
std::string DescribePage(const std::filesystem::path& file, CImage& image);

// For a file of pages: "pages: N", then one line per page with its size, format, bits and
// samples, compression and resolution, from the file's tags. Empty when the file cannot be
// opened.
std::string DescribePages(const std::filesystem::path& file);

// "skew: ANGLE degrees, confidence C" with " (not trusted: REASON)" when it is not; with json, one
// object with angle_deg, confidence, trusted and, when not trusted, reason. Ends with a
// newline.
std::string DescribeSkew(const SkewEstimate& estimate, bool json);

struct ShowSettings {
  bool maps = false;        // paint the colours of the current and "Dorvale" maps
  bool components = false;  // paint the components in rotating colours
  bool thumbnail = false;   // the 100 x 100 thumbnail instead
};

// Renders image's display bitmap as settings say into bitmap (maps and components together:
// the overlay with the components painted on it). False when the library gives no bitmap.
bool RenderShow(CImage& image, const ShowSettings& settings, CBitmap& bitmap);

}  // namespace vorlane::pipeline
