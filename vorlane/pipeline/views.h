// The PNG views of a page: the display bitmap with the map overlay, the components in
// rotating colours, and the thumbnail.
#pragma once

#include <filesystem>

class CBitmap;
class CImage;

namespace vorlane::pipeline {

enum class View { overlay, components, thumbnail, plain };

// Renders one view of image into target: the display bitmap (with the colours of the current
// and "Dorvale" maps for overlay), the display bitmap with the components painted in
// rotating colours, or the 100 x 100 thumbnail. The image's display flags are restored
// afterwards. False when the library gives no bitmap.
bool RenderView(CImage& image, View view, CBitmap& target);

// Write the components and thumbnail views of RenderView as PNG files at path, the same
// pictures, made from the image's pixels and components without a page-sized display bitmap
// where the image allows (components of an image of 8-bit pixels in at most 256 colours; any
// thumbnail). The image is not changed. False, leaving no file behind, when there is no
// picture or the file cannot be written.
bool WriteComponentsView(CImage& image, const std::filesystem::path& path);
bool WriteThumbnailView(CImage& image, const std::filesystem::path& path);

}  // namespace vorlane::pipeline
