// The PNG views of a page: the display bitmap with the map overlay, the components in
// rotating colours, and the thumbnail.
#pragma once

class CBitmap;
class CImage;

namespace vorlane::pipeline {

enum class View { overlay, components, thumbnail, plain };

// Renders one view of image into target: the display bitmap (with the colours of the current
// and "Dorvale" maps for overlay), the display bitmap with the components painted in
// rotating colours, or the 100 x 100 thumbnail. The image's display flags are restored
// afterwards. False when the library gives no bitmap.
bool RenderView(CImage& image, View view, CBitmap& target);

}  // namespace vorlane::pipeline
