// Components from Python: snapshots of the image's component list (runs as an N x 3 array of
// y, xl, xr), and the analyses that fill the list or find bounding boxes.
#include <cstring>

#include "binding.h"
#include "imageclasses/comp.h"
#include "vorlane/skew.h"

namespace vorlane::python {
namespace {

// A copy of one component's runs and measurements.
struct Component {
  py::array_t<int32_t> runs;
  py::tuple box;  // left, top, right, bottom as the library gives them
  int width = 0, height = 0, size = 0;
  float centreX = 0, centreY = 0;
  unsigned long colour = 0;
  unsigned short type = 0;
};

Component Snapshot(CComp& c) {
  Component s;
  const int n = c.GetMaxRun();
  s.runs = py::array_t<int32_t>({static_cast<py::ssize_t>(n), py::ssize_t{3}});
  int32_t* out = s.runs.mutable_data();
  for (int i = 0; i < n; ++i, out += 3) {
    const tagCompRun* r = c.GetRun(i);
    out[0] = r->y;
    out[1] = r->xl;
    out[2] = r->xr;
  }
  const CRect box = c.GetBoundingRect();
  s.box = py::make_tuple(box.left, box.top, box.right, box.bottom);
  s.width = c.GetWidth();
  s.height = c.GetHeight();
  s.size = c.GetSize();
  s.centreX = c.GetCenterX();
  s.centreY = c.GetCenterY();
  s.colour = c.GetColorRGB();
  s.type = c.GetType();
  return s;
}

std::vector<Component> ComponentsOf(CImage& image) {
  std::vector<Component> list;
  for (int i = 0; i < image.GetMaxComponent(); ++i)
    list.push_back(Snapshot(*image.GetComponent(i)));
  return list;
}

CRect AreaOf(const py::object& rect) {
  if (rect.is_none()) return CRect(-1, -1, -1, -1);
  const auto r = rect.cast<std::tuple<int, int, int, int>>();
  return CRect(std::get<0>(r), std::get<1>(r), std::get<2>(r), std::get<3>(r));
}

}  // namespace

void BindComponents(py::module_& m, py::class_<ImageHandle>& image) {
  py::class_<Component>(m, "Component", "A copy of one component of an image's list.")
      .def_readonly("runs", &Component::runs, "N x 3 int32 array of runs (y, xl, xr), inclusive.")
      .def_readonly("bounding_box", &Component::box,
                    "(left, top, right, bottom), right and bottom inclusive.")
      .def_readonly("width", &Component::width)
      .def_readonly("height", &Component::height)
      .def_readonly("size", &Component::size, "Pixel count.")
      .def_property_readonly(
          "centre", [](const Component& c) { return py::make_tuple(c.centreX, c.centreY); })
      .def_readonly("colour", &Component::colour, "Average colour 0x00BBGGRR.")
      .def_readonly("type", &Component::type)
      .def("__repr__", [](const Component& c) {
        return "Component(size=" + std::to_string(c.size) +
               ", box=" + py::repr(c.box).cast<std::string>() + ")";
      });

  image
      .def_property_readonly(
          "components", [](ImageHandle& h) { return ComponentsOf(ImageOf(h)); },
          "Copies of the image's component list.")
      .def(
          "cc_analysis",
          [](ImageHandle& h, bool connect8) {
            int result = 0;
            RunLong(h, {}, [&] { result = h.image->CCAnalysis(connect8); });
            Require(result, "the image has no connected component analysis (bi-level only)");
            return ComponentsOf(*h.image);
          },
          py::arg("connect8") = true,
          "Replaces the component list by the black components; returns copies of them.")
      .def(
          "cc_analysis_from_map",
          [](ImageHandle& h, int map, int label, int componentType, bool invert, bool connect8) {
            RunLong(h, {}, [&] {
              h.image->CCAnalysisFromMap(map, static_cast<unsigned char>(label),
                                         static_cast<unsigned short>(componentType), invert,
                                         connect8);
            });
            return ComponentsOf(*h.image);
          },
          py::arg("map"), py::arg("label"), py::arg("component_type") = 1,
          py::arg("invert") = false, py::arg("connect8") = true,
          "Replaces the component list by the components of a map label.")
      .def(
          "bb_analysis",
          [](ImageHandle& h, const py::object& rect, bool connect8) {
            RECT* rects = nullptr;
            int count = 0;
            int result = 0;
            const CRect area = AreaOf(rect);
            RunLong(h, {}, [&] { result = h.image->BBAnalysis(&rects, &count, area, connect8); });
            std::unique_ptr<RECT[]> owned(rects);
            Require(result, "the image has no bounding box analysis (bi-level only)");
            py::array_t<int32_t> out({static_cast<py::ssize_t>(count), py::ssize_t{4}});
            int32_t* o = out.mutable_data();
            for (int i = 0; i < count; ++i, o += 4) {
              o[0] = rects[i].left;
              o[1] = rects[i].top;
              o[2] = rects[i].right;
              o[3] = rects[i].bottom;
            }
            return out;
          },
          py::arg("rect") = py::none(), py::arg("connect8") = true,
          "Bounding boxes (left, top, right, bottom; inclusive) of the black components inside "
          "rect (None: the whole image; right and bottom exclusive) as an N x 4 array; the "
          "component list stays.")
      .def(
          "estimate_skew",
          [](ImageHandle& h, double rangeDegrees, double precisionDegrees, const py::object& region,
             double minConfidence) {
            vorlane::SkewOptions options;
            options.rangeDegrees = rangeDegrees;
            options.precisionDegrees = precisionDegrees;
            const CRect area = AreaOf(region);
            options.region = RECT{area.left, area.top, area.right, area.bottom};
            options.minConfidence = minConfidence;
            vorlane::SkewEstimate estimate;
            RunLong(h, {}, [&] { estimate = vorlane::EstimateSkew(*h.image, options); });
            return py::make_tuple(estimate.angleDegrees, estimate.confidence, estimate.trusted);
          },
          py::arg("range_degrees") = 10.0, py::arg("precision_degrees") = 0.05,
          py::arg("region") = py::none(), py::arg("min_confidence") = 0.5,
          "The skew of the page as (angle_deg, confidence, trusted): a positive angle means the "
          "content is turned counter-clockwise, undone by rotate(angle_deg * pi / 180). "
          "Untrusted estimates (blank pages, pictures, pages without lines) give angle 0. region: "
          "(left, top, right, bottom), right and bottom exclusive; None for the whole page.")
      .def(
          "colour_cc",
          [](ImageHandle& h, bool connect8) {
            RunLong(h, {}, [&] { h.image->ColorCC(connect8); });
            return ComponentsOf(*h.image);
          },
          py::arg("connect8") = true,
          "Colour images: replaces the component list by regions of visually alike pixels.")
      .def(
          "ex_colour_cc",
          [](ImageHandle& h, double threshold) {
            RunLong(h, {}, [&] { h.image->ExColorCC(0, threshold); });
            return ComponentsOf(*h.image);
          },
          py::arg("threshold") = 20.0,
          "Colour images: replaces the component list by regions grown by Lab distance.")
      .def(
          "average_colour",
          [](ImageHandle& h, int map, int label) {
            return ImageOf(h).GetAverageColour(map, static_cast<unsigned char>(label));
          },
          py::arg("map") = -1, py::arg("label") = 0,
          "The average colour (0x00BBGGRR) of the pixels of label in map (-1: the foreground).")
      .def(
          "remove_component",
          [](ImageHandle& h, int i) {
            CImage& image = ImageOf(h);
            if (i < 0 || i >= image.GetMaxComponent()) throw py::index_error("no such component");
            return image.RemoveComponent(i);
          },
          py::arg("index"), "Removes a component; returns the count left.")
      .def(
          "combine_components",
          [](ImageHandle& h, int a, int b) {
            const int index = ImageOf(h).CombineComponents(a, b);
            Require(index >= 0, "the components cannot be combined");
            return index;
          },
          py::arg("a"), py::arg("b"),
          "Merges component b into a; returns the index of the result.");
}

}  // namespace vorlane::python
