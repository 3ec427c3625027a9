// The image operations from Python: thresholds, geometry, filters, point operations and
// backups. Long ones run without the GIL; those that replace the pixel buffers refuse to run
// while numpy views of them are alive.
#include "binding.h"
#include "imageclasses/bilevelimage.h"
#include "imageclasses/internal/format_access.h"

namespace vorlane::python {
namespace {

using detail::FormatAccess;
using detail::PixelFormat;

constexpr unsigned long kWhite = 0xFFFFFF;

CRect RectOf(const py::object& rect, int width, int height) {
  if (rect.is_none()) return CRect(0, 0, width, height);
  const auto r = rect.cast<std::tuple<int, int, int, int>>();
  return CRect(std::get<0>(r), std::get<1>(r), std::get<2>(r), std::get<3>(r));
}

// Runs a threshold of self's greyscale pixels, writing into destination (None: a new white
// bi-level image of the same size and resolution) or, in place, into self's own pixels.
// Returns the image written.
py::object Thresholded(py::object self, py::object destination, bool inPlace,
                       const std::function<void(CImage*)>& op) {
  ImageHandle& h = self.cast<ImageHandle&>();
  CImage& image = ImageOf(h);
  if (FormatAccess::View(&image).format != PixelFormat::kGreyScale)
    throw py::value_error("thresholds work on greyscale images");
  if (inPlace) {
    RunLong(h, {}, [&] { op(nullptr); });
    return self;
  }
  if (destination.is_none()) {
    auto bilevel = std::make_unique<CBiLevelImage>();
    Require(bilevel->Create(image.GetWidth(), image.GetHeight(), kWhite, L""),
            "cannot create the bi-level destination");
    bilevel->SetDPI(image.GetDPI());
    destination = py::cast(Wrap(std::move(bilevel)));
  }
  ImageHandle& d = destination.cast<ImageHandle&>();
  const detail::PixelView v = FormatAccess::View(&ImageOf(d));
  if (v.width != image.GetWidth() || v.height != image.GetHeight() ||
      (v.format != PixelFormat::kBiLevel && v.format != PixelFormat::kGreyScale))
    throw py::value_error("the destination must be a bi-level or greyscale image of this size");
  RunLong(h, {&d}, [&] { op(d.image.get()); });
  d.image->SetDirty();
  return destination;
}

// The kernel of a filter from a square numpy array of odd size 1 to 7 (rows, then columns).
CImage::tagFilterStruct FilterOf(py::array_t<int, py::array::c_style | py::array::forcecast> k,
                                 const py::object& divisor) {
  const py::ssize_t n = k.ndim() == 2 ? k.shape(0) : 0;
  if (n < 1 || n > 7 || n % 2 == 0 || k.shape(1) != n)
    throw py::value_error("the kernel must be a square array of odd size 1 to 7");
  CImage::tagFilterStruct f{};
  int sum = 0;
  const int offset = 3 - static_cast<int>(n / 2);
  for (py::ssize_t r = 0; r < n; ++r)
    for (py::ssize_t c = 0; c < n; ++c) {
      f.kernel[offset + c][offset + r] = k.at(r, c);
      sum += k.at(r, c);
    }
  f.size = static_cast<int>(n);
  f.divisor = divisor.is_none() ? (sum ? sum : 1) : divisor.cast<int>();
  if (f.divisor == 0) throw py::value_error("the divisor must not be 0");
  return f;
}

int RankOperation(const std::string& name) {
  if (name == "minimum") return 1;
  if (name == "maximum") return 2;
  if (name == "range") return 4;
  if (name == "median") return 8;
  throw py::value_error("operation must be 'minimum', 'maximum', 'range' or 'median'");
}

}  // namespace

void BindOperations(py::class_<ImageHandle>& image) {
  using H = ImageHandle;
  image
      .def(
          "threshold",
          [](py::object self, int value, py::object rect, py::object destination, bool inPlace) {
            CImage& img = ImageOf(self.cast<H&>());
            CRect r = RectOf(rect, img.GetWidth(), img.GetHeight());
            return Thresholded(self, destination, inPlace,
                               [&](CImage* d) { img.Threshold(value, r, d); });
          },
          py::arg("value"), py::arg("rect") = py::none(), py::arg("destination") = py::none(),
          py::arg("in_place") = false,
          "Global threshold: grey values above value become background (white). Writes into "
          "destination (None: a new bi-level image) or, with in_place, into this image; "
          "returns the image written.")
      .def(
          "threshold_niblack",
          [](py::object self, int halfWindow, py::object rect, py::object destination, bool inPlace,
             int outputs) {
            CImage& img = ImageOf(self.cast<H&>());
            CRect r = RectOf(rect, img.GetWidth(), img.GetHeight());
            return Thresholded(self, destination, inPlace, [&](CImage* d) {
              img.Threshold_Niblack(halfWindow, r, d, static_cast<unsigned char>(outputs));
            });
          },
          py::arg("half_window"), py::arg("rect") = py::none(), py::arg("destination") = py::none(),
          py::arg("in_place") = false, py::arg("outputs") = 3,
          "Niblack's local threshold over (2 half_window + 1)^2 windows; outputs bit 1 labels "
          "the background in the 'Standard' map, bit 2 writes the pixels.")
      .def(
          "threshold_weszka_rosenfeld",
          [](py::object self, py::object rect, py::object destination, bool inPlace) {
            CImage& img = ImageOf(self.cast<H&>());
            CRect r = RectOf(rect, img.GetWidth(), img.GetHeight());
            return Thresholded(self, destination, inPlace,
                               [&](CImage* d) { img.Threshold_WeszkaRosenfeld(r, d); });
          },
          py::arg("rect") = py::none(), py::arg("destination") = py::none(),
          py::arg("in_place") = false,
          "The global threshold with the fewest pixels straddling it (Weszka-Rosenfeld).")
      .def(
          "rotate",
          [](H& h, double angle, unsigned long fill, bool keepSize) {
            RequireNoViews(h, "rotate");
            RunLong(h, {}, [&] { h.image->Rotate(angle, fill, keepSize); });
          },
          py::arg("angle"), py::arg("fill") = kWhite, py::arg("keep_size") = false,
          "Rotates the image and its maps by angle radians (positive: clockwise); new pixels "
          "get fill (0x00BBGGRR).")
      .def(
          "rotate_rect",
          [](H& h, py::object rect, double angle, unsigned long fill, bool clip) {
            RequireNoViews(h, "rotate_rect");
            CRect r = RectOf(rect, ImageOf(h).GetWidth(), ImageOf(h).GetHeight());
            RunLong(h, {}, [&] { h.image->Rotate(r, angle, fill, clip); });
          },
          py::arg("rect"), py::arg("angle"), py::arg("fill") = kWhite, py::arg("clip") = true,
          "Turns the pixels of rect (left, top, right, bottom) about its centre.")
      .def(
          "tilt",
          [](H& h, double angle, int mode) {
            RequireNoViews(h, "tilt");
            RunLong(h, {}, [&] { h.image->Tilt(angle, static_cast<unsigned char>(mode)); });
          },
          py::arg("angle"), py::arg("mode") = 1,
          "Shears by angle radians: mode 1 horizontally, 2 vertically, 3 both.")
      .def(
          "crop",
          [](H& h, int x, int y, int width, int height) {
            CImage& img = ImageOf(h);
            if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > img.GetWidth() ||
                y + height > img.GetHeight())
              throw py::value_error("the crop rectangle must lie inside the image");
            RequireNoViews(h, "crop");
            img.Crop(x, y, width, height);
          },
          py::arg("x"), py::arg("y"), py::arg("width"), py::arg("height"),
          "Keeps the width x height rectangle at (x, y), with the maps.")
      .def(
          "resample",
          [](H& h, int width, int height, int dpi) {
            RequireNoViews(h, "resample");
            int result = 0;
            RunLong(h, {}, [&] { result = h.image->ReSample(width, height, dpi); });
            Require(result, "the image cannot be resampled to that size");
          },
          py::arg("width"), py::arg("height"), py::arg("dpi") = 0,
          "Resamples to width x height; the maps get the new size with every byte 0.")
      .def(
          "apply_filter",
          [](H& h, py::array_t<int, py::array::c_style | py::array::forcecast> kernel,
             py::object divisor) {
            CImage::tagFilterStruct f = FilterOf(kernel, divisor);
            RunLong(h, {}, [&] { h.image->ApplyFilter(&f); });
          },
          py::arg("kernel"), py::arg("divisor") = py::none(),
          "Convolution with a square kernel of odd size up to 7 (divisor None: the kernel's "
          "sum, or 1).")
      .def(
          "rank_order_filter",
          [](H& h, const std::string& operation, int windowSize, int channel) {
            const int op = RankOperation(operation);
            RunLong(h, {}, [&] {
              h.image->ApplyRankOrderFilter(static_cast<unsigned char>(op), windowSize,
                                            static_cast<unsigned char>(channel));
            });
          },
          py::arg("operation"), py::arg("window_size") = 3, py::arg("channel") = 0,
          "'minimum', 'maximum', 'range' or 'median' over window_size x window_size windows.")
      .def(
          "edge_detector",
          [](H& h, int directions) { RunLong(h, {}, [&] { h.image->EdgeDetector(directions); }); },
          py::arg("directions"), "Edge detection over the given number of directions.")
      .def(
          "edge_preserving_smoothing",
          [](H& h) { RunLong(h, {}, [&] { h.image->EdgePreservingSmoothing(); }); },
          "Smooths colour images while keeping edges.")
      .def(
          "salt_pepper_removal",
          [](H& h, int windowSize) {
            auto* bilevel = dynamic_cast<CBiLevelImage*>(&ImageOf(h));
            if (!bilevel) throw py::value_error("salt and pepper removal works on bi-level images");
            RunLong(h, {}, [&] { bilevel->SaltPepperRemoval(windowSize); });
          },
          py::arg("window_size") = 3, "Removes isolated specks from a bi-level image.")
      .def(
          "histogram_equalization",
          [](H& h, py::object rect) {
            RECT r = RectOf(rect, ImageOf(h).GetWidth(), ImageOf(h).GetHeight());
            RunLong(h, {}, [&] { h.image->HistogramEqualization(r); });
          },
          py::arg("rect") = py::none(), "Equalises the grey histogram of rect.")
      .def(
          "histogram_transformation",
          [](H& h, py::array_t<int, py::array::c_style | py::array::forcecast> table,
             unsigned long flags) {
            if (table.size() < 256) throw py::value_error("the table needs 256 entries");
            std::vector<int> t(table.data(), table.data() + 256);
            int result = 0;
            RunLong(h, {}, [&] { result = h.image->HistogramTransformation(t.data(), flags); });
            Require(result, "the image has no histogram transformation");
          },
          py::arg("table"), py::arg("flags") = 1,
          "Maps values through a 256-entry table: flags 0x01 grey (luminance), 0x02 red, "
          "0x04 green, 0x08 blue.")
      .def(
          "negative", [](H& h) { ImageOf(h).GetNegative(); }, "Inverts the pixels.")
      .def(
          "colour_reduction", [](H& h) { RunLong(h, {}, [&] { h.image->ColorReduction(); }); },
          "Reduces the colours of a colour image.")
      .def(
          "clear", [](H& h, int r, int g, int b) { ImageOf(h).Clear(r, g, b); }, py::arg("red"),
          py::arg("green"), py::arg("blue"), "Fills the image with one colour.")
      .def(
          "clear_similar",
          [](H& h, int r, int g, int b, int tolerance) {
            RunLong(h, {}, [&] {
              h.image->ClearSimilar(static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                                    static_cast<unsigned char>(b), tolerance);
            });
          },
          py::arg("red"), py::arg("green"), py::arg("blue"), py::arg("tolerance"),
          "Whitens the pixels close to a colour.")
      .def(
          "invert_map", [](H& h) { ImageOf(h).InvertMap(); }, "Inverts the current map.")
      .def(
          "create_backup",
          [](H& h) { Require(ImageOf(h).CreateBackup(), "a backup exists already or no pixels"); },
          "Keeps a copy of the pixels for restore_backup.")
      .def(
          "restore_backup", [](H& h) { ImageOf(h).RestoreBackup(); },
          "Copies the backup back into the pixels and releases it.")
      .def(
          "discard_backup", [](H& h) { return ImageOf(h).DiscardBackup() != 0; },
          "Releases the backup; True when there was one.");
}

}  // namespace vorlane::python
