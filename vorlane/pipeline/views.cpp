// Rendering of the PNG views through the library's display bitmaps.
#include "vorlane/pipeline/views.h"

#include "imageclasses/image.h"
#include "platform/platform.h"

namespace vorlane::pipeline {
namespace {

bool CopyBitmap(const CBitmap& source, CBitmap& target) {
  if (source.Width() <= 0 || source.Height() <= 0 || !source.Pixels()) return false;
  if (!target.CreateBitmap(source.Width(), source.Height(), 1, 32, source.Pixels())) return false;
  return target.Pixels() != nullptr;
}

}  // namespace

bool RenderView(CImage& image, View view, CBitmap& target) {
  const unsigned short flags = image.GetUpdateFlags();
  unsigned short wanted = IU_NORMAL;
  if (view == View::overlay) wanted |= IU_MAP_OVERLAY;
  if (view == View::thumbnail) wanted |= IU_THUMBNAIL;
  image.SetUpdateFlags(wanted);  // marks the display for rebuilding
  bool ok = false;
  if (CBitmap* display = image.GetBitmap()) {
    if (view == View::thumbnail) {
      ok = CopyBitmap(*image.GetThumbnail(), target);
    } else {
      ok = CopyBitmap(*display, target);
      if (ok && view == View::components) image.ShowPhysicalStructure(&target);
    }
  }
  image.SetUpdateFlags(flags);
  return ok;
}

}  // namespace vorlane::pipeline
