// The handle checks, numpy views that count as exports of an image, long calls without the
// GIL with the progress callable as keep-alive handler.
#include <chrono>
#include <optional>

#include "binding.h"
#include "platform/hooks.h"

namespace vorlane::python {

CImage& ImageOf(ImageHandle& handle) {
  if (handle.busy) throw std::runtime_error("the image is busy with another call");
  if (!handle.image) throw py::value_error("the image holds nothing");
  return *handle.image;
}

void RequireNoViews(const ImageHandle& handle, const char* operation) {
  if (handle.views > 0)
    throw py::buffer_error(std::string(operation) +
                           " replaces the image's buffers: release the numpy views first");
}

namespace {

// The base object of a view: keeps the Python image alive and counts the view.
struct ViewToken {
  ImageHandle* handle;
  PyObject* owner;
};

}  // namespace

py::array MakeView(ImageHandle& handle, py::handle owner, std::vector<py::ssize_t> shape,
                   std::vector<py::ssize_t> strides, unsigned char* data) {
  auto token = std::make_unique<ViewToken>(ViewToken{&handle, owner.inc_ref().ptr()});
  py::capsule base(token.get(), [](void* p) {
    std::unique_ptr<ViewToken> t(static_cast<ViewToken*>(p));
    --t->handle->views;
    Py_DECREF(t->owner);
  });
  token.release();
  ++handle.views;
  static unsigned char empty = 0;
  return py::array(py::dtype::of<uint8_t>(), std::move(shape), std::move(strides),
                   data ? data : &empty, base);
}

namespace {

// Marks handles busy for the length of a call, the GIL held on entry and exit.
class BusyScope {
 public:
  explicit BusyScope(std::vector<ImageHandle*> handles) : m_handles(std::move(handles)) {
    for (ImageHandle* h : m_handles) h->busy = true;
  }
  ~BusyScope() {
    for (ImageHandle* h : m_handles) h->busy = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  std::vector<ImageHandle*> m_handles;
};

// Installs a keep-alive handler on the calling thread and restores the previous one.
class KeepAliveScope {
 public:
  explicit KeepAliveScope(KeepAliveHandler handler)
      : m_previous(SetKeepAliveHandler(std::move(handler))) {}
  ~KeepAliveScope() { SetKeepAliveHandler(std::move(m_previous)); }
  KeepAliveScope(const KeepAliveScope&) = delete;
  KeepAliveScope& operator=(const KeepAliveScope&) = delete;

 private:
  KeepAliveHandler m_previous;
};

}  // namespace

void RunLong(ImageHandle& handle, std::initializer_list<ImageHandle*> others,
             const std::function<void()>& op) {
  CImage& image = ImageOf(handle);
  std::vector<ImageHandle*> busy{&handle};
  for (ImageHandle* other : others) {
    if (other && other != &handle) {
      ImageOf(*other);
      busy.push_back(other);
    }
  }
  BusyScope scope(busy);
  image.SetCancel(0);
  py::object progress = handle.progress;
  std::optional<py::error_already_set> error;
  bool cancelled = false;
  {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> last;
    py::gil_scoped_release release;
    KeepAliveHandler handler;
    if (!progress.is_none()) {
      handler = [&](CImage&, int step, int steps) {
        if (error || cancelled) return true;
        const Clock::time_point now = Clock::now();
        if (last && now - *last < std::chrono::milliseconds(50)) return false;
        last = now;
        py::gil_scoped_acquire gil;
        try {
          cancelled = py::bool_(progress(step, steps));
        } catch (py::error_already_set& e) {
          error.emplace(std::move(e));
        }
        return cancelled || error.has_value();
      };
    }
    KeepAliveScope keepAlive(std::move(handler));
    op();
  }
  image.SetCancel(0);
  if (error) throw std::move(*error);
  if (cancelled) throw CancelledError("cancelled by the progress callable");
}

void Require(int result, const char* message) {
  if (!result) throw py::value_error(message);
}

std::unique_ptr<ImageHandle> Wrap(std::unique_ptr<CImage> image) {
  auto handle = std::make_unique<ImageHandle>();
  handle->image = std::move(image);
  return handle;
}

}  // namespace vorlane::python
