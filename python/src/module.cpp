// The extension module vorlane._vorlane: images with numpy views, their operations, maps,
// components, pickling and the per-file road of the batch runner.
#include "binding.h"
#include "vorlane/threads.h"

namespace py = pybind11;

PYBIND11_MODULE(_vorlane, m) {
  namespace vp = vorlane::python;
  m.doc() = "Image classes for the analysis of scanned documents.";
  vp::BindErrors(m);
  py::class_<vp::ImageHandle> image(m, "Image",
                                    "An image of one of four pixel formats: 'bilevel' (0 black, "
                                    "1 white), 'greyscale', 'palette' or 'colour'.");
  vp::BindImage(m, image);
  vp::BindMaps(m, image);
  vp::BindComponents(m, image);
  vp::BindOperations(image);
  vp::BindDisplay(image);
  vp::BindHistograms(image);
  vp::BindBatch(m);
  m.def(
      "set_pixel_threads",
      [](int threads) {
        if (threads < 0) throw py::value_error("threads must be 0 (one per core) or more");
        return vorlane::SetPixelThreads(threads);
      },
      py::arg("threads"),
      "Limits the threads that a pass over a large page may use (0: one per core, the "
      "default; 1: the calling thread only). Results do not depend on it. Returns the "
      "previous setting.");
}
