// An image's maps from Python: image.maps[name or index] as a numpy view of the map's bytes,
// with the pixel-type tables as PixelType objects.
#include "binding.h"
#include "imageclasses/imagemap.h"
#include "vorlane/pipeline/paths.h"

namespace vorlane::python {
namespace {

struct PixelType {
  std::string name;
  int index;
  int label;  // the map byte (byte labels) or bit (bit labels) that stands for the type
  int red, green, blue;
  bool visible;
};

// The maps of one image; holds the Python image.
struct Maps {
  py::object owner;
  ImageHandle& Handle() const { return owner.cast<ImageHandle&>(); }
  CImage& Image() const { return ImageOf(Handle()); }

  // The index of key (a name or an index); KeyError when there is no such map.
  int Index(const py::object& key) const {
    CImage& image = Image();
    int index = -1;
    if (py::isinstance<py::str>(key)) {
      index = image.GetImageMapIndex(pipeline::WidePath(key.cast<std::string>()).c_str());
    } else {
      index = key.cast<int>();
      if (index < 0) index += image.GetImageMapCount();
      if (index >= image.GetImageMapCount()) index = -1;
    }
    if (index < 0) throw py::key_error(py::str(key).cast<std::string>());
    return index;
  }
  CImageMap& Map(const py::object& key) const { return *Image().GetImageMap(Index(key)); }
};

std::vector<PixelType> TypesOf(const CImageMap& map) {
  std::vector<PixelType> types;
  for (int i = 0; i < map.GetPTCount(); ++i) {
    const wchar_t* name = map.GetPTName(i);
    types.push_back({pipeline::Utf8(name), i, name && *name ? map.GetPTByteLabel(name) : 0,
                     map.GetPTRed(i), map.GetPTGreen(i), map.GetPTBlue(i),
                     map.GetPTVisible(i) != 0});
  }
  return types;
}

}  // namespace

void BindMaps(py::module_& m, py::class_<ImageHandle>& image) {
  py::class_<PixelType>(m, "PixelType", "One entry of a map's pixel-type table.")
      .def_readonly("name", &PixelType::name)
      .def_readonly("index", &PixelType::index)
      .def_readonly("label", &PixelType::label, "The map byte (or bit) of the type.")
      .def_readonly("red", &PixelType::red)
      .def_readonly("green", &PixelType::green)
      .def_readonly("blue", &PixelType::blue)
      .def_readonly("visible", &PixelType::visible)
      .def("__repr__", [](const PixelType& t) {
        return "PixelType(" + t.name + ", label=" + std::to_string(t.label) + ")";
      });

  py::class_<Maps>(m, "Maps", "The maps of an image, by name or index.")
      .def("__len__", [](const Maps& s) { return s.Image().GetImageMapCount(); })
      .def("__contains__",
           [](const Maps& s, const std::string& name) {
             return s.Image().GetImageMapIndex(pipeline::WidePath(name).c_str()) >= 0;
           })
      .def(
          "names",
          [](const Maps& s) {
            std::vector<std::string> names;
            for (int i = 0; i < s.Image().GetImageMapCount(); ++i)
              names.push_back(pipeline::Utf8(s.Image().GetImageMap(i)->GetName().GetString()));
            return names;
          },
          "The map names in list order.")
      .def(
          "__getitem__",
          [](const Maps& s, const py::object& key) {
            CImageMap& map = s.Map(key);
            const py::ssize_t h = map.GetHeight(), w = map.GetWidth();
            return MakeView(s.Handle(), s.owner, {h, w}, {w, 1}, h > 0 ? map.GetLine(0) : nullptr);
          },
          "The map's bytes as a writable H x W numpy view, top row first.")
      .def(
          "types", [](const Maps& s, const py::object& key) { return TypesOf(s.Map(key)); },
          py::arg("key"), "The map's pixel-type table.")
      .def(
          "label_mode",
          [](const Maps& s, const py::object& key) { return s.Map(key).GetLabelMode(); },
          py::arg("key"), "0 no types, 1 bit labels, 2 byte labels.")
      .def_property(
          "current", [](const Maps& s) { return s.Image().GetCurrentMapIndex(); },
          [](const Maps& s, const py::object& key) { s.Image().SetCurrentMap(s.Index(key)); },
          "The index of the current map (set by name or index).")
      .def(
          "add",
          [](const Maps& s, const std::string& name, int labelMode) {
            Require(s.Image().SafeGetImageMap(pipeline::WidePath(name).c_str(),
                                              static_cast<unsigned char>(labelMode)) != nullptr,
                    "cannot add the map");
            return s.Index(py::str(name));
          },
          py::arg("name"), py::arg("label_mode") = MAP_BYTE_LABELS,
          "Adds a map (or finds the one of that name); returns its index.")
      .def(
          "morphology",
          [](const Maps& s, const py::object& key, const std::string& operation, int size,
             int label, int option) {
            const int op = operation == "erode" ? 1 : operation == "dilate" ? 2 : 0;
            if (!op) throw py::value_error("operation must be 'erode' or 'dilate'");
            const int index = s.Index(key);
            RunLong(s.Handle(), {}, [&] {
              s.Image().ApplyMorphologicalFilterToMap(index, static_cast<unsigned char>(op), size,
                                                      static_cast<unsigned char>(label),
                                                      static_cast<unsigned char>(option));
            });
          },
          py::arg("key"), py::arg("operation"), py::arg("size") = 3, py::arg("label") = 1,
          py::arg("option") = 0, "One erosion or dilation pass of label (size 3, 5 or 7).");

  image.def_property_readonly(
      "maps", [](py::object self) { return Maps{self}; },
      "The image's maps: maps['Standard'] is a numpy view of that map's bytes.");
}

}  // namespace vorlane::python
