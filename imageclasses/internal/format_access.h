// The one place that tells the four image formats apart and reaches their pixel arrays.
// Internal to the library.
#pragma once

#include "kernels/pixels/pixel_view.h"

class CImage;

namespace vorlane::detail {

// Friend of the four format classes. View classifies an image; the templates are the whole
// implementations of conversion, duplication and backups, shared by the formats (Format is
// exactly one of the four library classes).
struct FormatAccess {
  // The pixels of image. format is kNone for a null image and for an image of none of the
  // four formats; the class is tested in the order bi-level, low colour, greyscale, high
  // colour, so that a class derived from a format counts as that format.
  static PixelView View(CImage* image);

  // Fills self from source converted into Format. Returns 0, changing nothing, for a null
  // source, self, a source of no known format or without pixels, or a size whose buffer
  // would exceed the limit.
  template <class Format>
  static int Convert(Format& self, CImage* source, unsigned char mode);

  // Makes self a copy of source, or lets it share source's arrays. Returns 0, changing
  // nothing, unless source is another Format image with pixels; also 0 when self would
  // come to share its own arrays.
  template <class Format>
  static int Duplicate(Format& self, CImage* source, int byReference);

  // Copies the pixels (and palette) into the backup. 0 when a backup exists already or
  // there are no pixels.
  template <class Format>
  static int Backup(Format& self);

  // Copies the backup back into the current pixels (and palette) and releases it.
  template <class Format>
  static void Restore(Format& self);

  // Releases the backup; 1 when there was one, else 0.
  template <class Format>
  static int Discard(Format& self);
};

}  // namespace vorlane::detail
