// What the parts of the Python module share: the handle that a Python image wraps, numpy
// views that keep it alive, long calls without the GIL, and the registration functions.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "imageclasses/image.h"

namespace vorlane::python {

namespace py = pybind11;

// A Python image: one library image, the number of numpy views of its pixels and maps that are
// alive, whether a long call runs on it with the GIL released, and its progress callable.
struct ImageHandle {
  std::unique_ptr<CImage> image;
  int views = 0;
  bool busy = false;
  py::object progress = py::none();
};

// Raised when a progress callable asks a long call to stop.
struct CancelledError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The image of handle: RuntimeError while a long call runs on it, ValueError when it holds
// none (an image that failed to load from a pickle).
CImage& ImageOf(ImageHandle& handle);

// BufferError when numpy views of handle's buffers are alive: operation would replace the
// buffers under them.
void RequireNoViews(const ImageHandle& handle, const char* operation);

// A uint8 numpy view of data with the given shape and strides (bytes, may be negative). Its
// base holds owner (the Python object of handle), so the image outlives the view, and counts
// as one of handle's views while it lives.
py::array MakeView(ImageHandle& handle, py::handle owner, std::vector<py::ssize_t> shape,
                   std::vector<py::ssize_t> strides, unsigned char* data);

// Runs op on handle's image with the GIL released. The other handles (destinations) are
// marked busy as well. While op runs, handle's progress callable (if any) is called with
// (step, steps) at most every 50 ms, the GIL held: a true answer cancels the operation and
// raises CancelledError afterwards; an exception it raises cancels it and is raised again.
void RunLong(ImageHandle& handle, std::initializer_list<ImageHandle*> others,
             const std::function<void()>& op);

// ValueError with message when result is 0.
void Require(int result, const char* message);

// The names quoted for a message: "'a', 'b' or 'c'".
std::string QuotedChoices(const std::vector<std::string>& names);

// A new handle around image (owned from now on).
std::unique_ptr<ImageHandle> Wrap(std::unique_ptr<CImage> image);

void BindErrors(py::module_& m);
void BindImage(py::module_& m, py::class_<ImageHandle>& image);
void BindMaps(py::module_& m, py::class_<ImageHandle>& image);
void BindComponents(py::module_& m, py::class_<ImageHandle>& image);
void BindOperations(py::class_<ImageHandle>& image);
void BindDisplay(py::class_<ImageHandle>& image);
void BindHistograms(py::class_<ImageHandle>& image);
void BindBatch(py::module_& m);

}  // namespace vorlane::python
