// Display bitmaps from Python: the display bitmap and the thumbnail as H x W x 3 RGB arrays.
#include "binding.h"

namespace vorlane::python {
namespace {

// A copy of a bitmap's pixels (0x00RRGGBB, top row first) as red, green, blue.
py::array_t<uint8_t> RgbOf(const CBitmap& bitmap) {
  const DWORD* in = bitmap.Pixels();
  if (!in) throw py::value_error("the library rendered no bitmap");
  const py::ssize_t h = bitmap.Height(), w = bitmap.Width();
  py::array_t<uint8_t> out({h, w, py::ssize_t{3}});
  uint8_t* o = out.mutable_data();
  for (py::ssize_t i = 0; i < h * w; ++i, o += 3) {
    o[0] = static_cast<uint8_t>(in[i] >> 16);
    o[1] = static_cast<uint8_t>(in[i] >> 8);
    o[2] = static_cast<uint8_t>(in[i]);
  }
  return out;
}

}  // namespace

void BindDisplay(py::class_<ImageHandle>& image) {
  image
      .def_property(
          "update_flags", [](ImageHandle& h) { return ImageOf(h).GetUpdateFlags(); },
          [](ImageHandle& h, unsigned short flags) { ImageOf(h).SetUpdateFlags(flags); },
          "Display flags: 0x01 normal, 0x02 dimmed, 0x04 thumbnail, 0x08 show components, "
          "0x10 overlay components, 0x20 black and white, 0x40 map overlay.")
      .def(
          "display_bitmap",
          [](ImageHandle& h, std::vector<int> overlay, int overlayFlags) {
            CImage& image = ImageOf(h);
            CBitmap bitmap;
            image.GetBitmap(&bitmap);
            if (!overlay.empty())
              image.OverlayComponent(overlay.data(), static_cast<int>(overlay.size()), &bitmap,
                                     static_cast<unsigned char>(overlayFlags));
            return RgbOf(bitmap);
          },
          py::arg("overlay") = std::vector<int>{}, py::arg("overlay_flags") = 0x01,
          "The display bitmap (rebuilt when the image changed) with the components and maps "
          "as the update flags say, as an H x W x 3 RGB array. The components listed in overlay "
          "are tinted: flags 0x01 their pixels red, 0x02 their vexed areas green, 0x04 and "
          "0x08 full red and green.")
      .def(
          "thumbnail",
          [](ImageHandle& h) {
            CImage& image = ImageOf(h);
            image.UpdateThumbnail();
            return RgbOf(*image.GetThumbnail());
          },
          "The thumbnail as an H x W x 3 RGB array.");
}

}  // namespace vorlane::python
