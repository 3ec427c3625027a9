// Histograms and row and column profiles from Python, as numpy arrays.
#include "binding.h"

namespace vorlane::python {
namespace {

// The histogram flags in the order in which the library stores their histograms.
constexpr const char* kChannels[] = {"luminance", "red",       "green",     "blue",
                                     "hue",       "lightness", "saturation"};

unsigned long FlagOf(const std::string& name) {
  for (size_t i = 0; i < std::size(kChannels); ++i)
    if (name == kChannels[i]) return 1UL << i;
  throw py::value_error("no histogram called " + name);
}

}  // namespace

void BindHistograms(py::class_<ImageHandle>& image) {
  image
      .def(
          "histograms",
          [](ImageHandle& h, const std::vector<std::string>& channels, py::object rect, int mode,
             int map, int pixelType) {
            CImage& img = ImageOf(h);
            unsigned long flags = 0;
            for (const std::string& c : channels) flags |= FlagOf(c);
            // One 256-entry histogram per set flag, in flag order.
            std::vector<std::vector<long>> storage;
            std::vector<long*> pointers;
            for (size_t i = 0; i < std::size(kChannels); ++i) {
              if (!(flags & (1UL << i))) continue;
              storage.emplace_back(256, 0L);
              pointers.push_back(storage.back().data());
            }
            RECT r{0, 0, img.GetWidth(), img.GetHeight()};
            if (!rect.is_none()) {
              const auto t = rect.cast<std::tuple<int, int, int, int>>();
              r = RECT{std::get<0>(t), std::get<1>(t), std::get<2>(t), std::get<3>(t)};
            }
            int result = 0;
            RunLong(h, {}, [&] {
              result =
                  img.GetHistograms(pointers.data(), flags, r, static_cast<unsigned char>(mode),
                                    map, static_cast<unsigned char>(pixelType));
            });
            Require(result, "the image gives no histograms");
            py::dict out;
            size_t k = 0;
            for (size_t i = 0; i < std::size(kChannels); ++i)
              if (flags & (1UL << i))
                out[kChannels[i]] = py::array_t<long>(256, storage[k++].data());
            return out;
          },
          py::arg("channels") = std::vector<std::string>{"luminance"}, py::arg("rect") = py::none(),
          py::arg("mode") = 0, py::arg("map") = 0, py::arg("pixel_type") = 0,
          "Histograms of 256 counts by channel name ('luminance', 'red', 'green', 'blue', "
          "'hue', 'lightness', 'saturation') over rect; mode, map and pixel_type select the "
          "pixels by a map label.")
      .def(
          "projection",
          [](ImageHandle& h, int x, int y, int width, int height, int flags) {
            if (width < 0 || height < 0) throw py::value_error("negative size");
            CImage& img = ImageOf(h);
            std::vector<long> rows(static_cast<size_t>(height)),
                columns(static_cast<size_t>(width));
            img.GetProjection(x, y, width, height, rows.data(), columns.data(),
                              static_cast<unsigned char>(flags));
            return py::make_tuple(py::array_t<long>(height, rows.data()),
                                  py::array_t<long>(width, columns.data()));
          },
          py::arg("x"), py::arg("y"), py::arg("width"), py::arg("height"), py::arg("flags") = 1,
          "Row and column profiles of the region: flags 0x01 sums of darkness (255 - grey), "
          "0x02 counts of non-white pixels, 0x10 counts background pixels too.");
}

}  // namespace vorlane::python
