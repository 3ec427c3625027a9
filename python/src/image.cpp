// The Python image: loading, numpy in and out (pixels as a view of the image's own
// buffer), saving, conversion, duplication and pickling through the archive format.
#include <cstdlib>
#include <cstring>

#include "binding.h"
#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/locolorimage.h"
#include "platform/archive.h"
#include "vorlane/io/pages.h"
#include "vorlane/pipeline/page_loading.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/pipeline/vocabulary.h"

namespace vorlane::python {
namespace {

using detail::FormatAccess;
using detail::PixelFormat;
using detail::PixelView;

using pipeline::PageFormat;

// The Python name of a pixel format ("bilevel", ..., "none" for no image).
const char* FormatName(PixelFormat format) {
  switch (format) {
    case PixelFormat::kBiLevel:
      return pipeline::NamesOf(PageFormat::bilevel).python;
    case PixelFormat::kGreyScale:
      return pipeline::NamesOf(PageFormat::greyscale).python;
    case PixelFormat::kLoColour:
      return pipeline::NamesOf(PageFormat::palette).python;
    case PixelFormat::kHiColour:
      return pipeline::NamesOf(PageFormat::colour).python;
    default:
      return pipeline::NamesOf(PageFormat::none).python;
  }
}

// A new empty image of the format with that Python name; ValueError for another name.
std::unique_ptr<CImage> NewImage(const std::string& format) {
  std::vector<std::string> names;
  for (const pipeline::FormatNames& f : pipeline::Formats()) {
    names.emplace_back(f.python);
    if (format != f.python) continue;
    switch (f.format) {
      case PageFormat::bilevel:
        return std::make_unique<CBiLevelImage>();
      case PageFormat::greyscale:
        return std::make_unique<CGreyScaleImage>();
      case PageFormat::palette:
        return std::make_unique<CLoColorImage>();
      case PageFormat::colour:
        return std::make_unique<CHiColorImage>();
      case PageFormat::none:
        break;
    }
  }
  throw py::value_error("format must be " + QuotedChoices(names));
}

// The distance in bytes from row y to row y + 1 of a view (rows are stored bottom-up).
py::ssize_t RowStride(const PixelView& v) {
  if (v.height > 1) return v.rows[1] - v.rows[0];
  return -static_cast<py::ssize_t>(v.bytesPerLine);
}

// The pixels as a view: H x W for one byte per pixel, H x W x 3 (red, green, blue: the stored
// bytes blue, green, red read backwards) for colour, or with raw H x W x 4 in stored order.
py::array PixelsView(ImageHandle& handle, py::handle owner, bool raw) {
  const PixelView v = FormatAccess::View(&ImageOf(handle));
  if (!v.HasPixels()) throw py::value_error("the image has no pixels");
  const py::ssize_t h = v.height, w = v.width, row = RowStride(v);
  if (v.format != PixelFormat::kHiColour)
    return MakeView(handle, owner, {h, w}, {row, 1}, v.rows[0]);
  if (raw) return MakeView(handle, owner, {h, w, 4}, {row, 4, 1}, v.rows[0]);
  return MakeView(handle, owner, {h, w, 3}, {row, 4, -1}, v.rows[0] + 2);
}

std::unique_ptr<ImageHandle> FromNumpy(py::array array, bool bilevel, int dpi) {
  if (!py::isinstance<py::array_t<uint8_t>>(array) || array.dtype().kind() != 'u')
    throw py::type_error("the array must be of dtype uint8");
  const py::ssize_t nd = array.ndim();
  const bool colour = nd == 3 && (array.shape(2) == 3 || array.shape(2) == 4);
  if (nd != 2 && !colour)
    throw py::value_error("the array must be H x W (grey or bi-level) or H x W x 3 or 4 (colour)");
  if (colour && bilevel) throw py::value_error("a bi-level image comes from an H x W array");
  const int h = static_cast<int>(array.shape(0)), w = static_cast<int>(array.shape(1));
  if (h <= 0 || w <= 0) throw py::value_error("the array is empty");
  auto src = py::array_t<uint8_t, py::array::c_style | py::array::forcecast>::ensure(array);
  const uint8_t* in = src.data();
  if (bilevel) {
    for (py::ssize_t i = 0; i < src.size(); ++i)
      if (in[i] > 1) throw py::value_error("a bi-level array holds only 0 (black) and 1 (white)");
  }
  std::unique_ptr<CImage> image = NewImage(colour ? "colour" : bilevel ? "bilevel" : "greyscale");
  Require(image->Create(w, h, 0, L""), "cannot create an image of that size");
  image->SetDPI(dpi);
  const PixelView v = FormatAccess::View(image.get());
  const int channels = colour ? static_cast<int>(array.shape(2)) : 1;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = in + static_cast<size_t>(y) * w * channels;
    unsigned char* d = v.rows[y];
    if (!colour) {
      std::memcpy(d, s, static_cast<size_t>(w));
      continue;
    }
    for (int x = 0; x < w; ++x, s += channels, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = channels == 4 ? s[3] : 0;
    }
  }
  image->SetDirty();
  return Wrap(std::move(image));
}

// Raises the library's file error (OSError in Python) when the file cannot be opened.
void RequireReadable(const std::wstring& wide) {
  CFile probe;
  if (!probe.Open(wide.c_str(), CFile::modeRead))
    throw CFileException(CFileException::fileNotFound, wide.c_str());
  probe.Close();
}

std::unique_ptr<ImageHandle> Load(const std::string& path, int page) {
  const std::wstring wide = pipeline::WidePath(path);
  if (pipeline::IsArchiveFile(path)) {
    if (page != 0) throw py::index_error("an archive holds one page");
    std::unique_ptr<CImage> image(
        ImgLoadFromFile(wide.c_str(), nullptr, nullptr, nullptr, nullptr));
    if (!image) throw py::value_error("not an image the library reads: " + path);
    return Wrap(std::move(image));
  }
  RequireReadable(wide);
  pipeline::LoadedPage loaded;
  {
    py::gil_scoped_release release;
    loaded = pipeline::LoadPage(path, page);
  }
  if (!loaded.image) {
    if (loaded.pageCount > 0 && (page < 0 || page >= loaded.pageCount))
      throw py::index_error(path + " has " + std::to_string(loaded.pageCount) +
                            (loaded.pageCount == 1 ? " page" : " pages"));
    throw py::value_error(path + ": " + loaded.error);
  }
  return Wrap(std::move(loaded.image));
}

int PageCount(const std::string& path) {
  const std::wstring wide = pipeline::WidePath(path);
  RequireReadable(wide);
  std::string error;
  const int pages = CountPages(path, error);
  if (pages <= 0) throw py::value_error(path + ": " + error);
  return pages;
}

void SaveArchive(CImage& image, CFile& file) {
  CArchive ar(&file, CArchive::store);
  ar << &image;
  ar.Close();
}

py::bytes GetState(ImageHandle& handle) {
  CImage& image = ImageOf(handle);
  CMemFile file;
  SaveArchive(image, file);
  const size_t size = static_cast<size_t>(file.GetLength());
  std::unique_ptr<BYTE, decltype(&std::free)> data(file.Detach(), &std::free);
  return py::bytes(reinterpret_cast<const char*>(data.get()), size);
}

std::unique_ptr<ImageHandle> SetState(const py::bytes& state) {
  const std::string_view bytes = state;
  std::string copy(bytes);
  CMemFile file(reinterpret_cast<BYTE*>(copy.data()), static_cast<UINT>(copy.size()));
  CArchive ar(&file, CArchive::load);
  CImage* loaded = nullptr;
  ar >> loaded;
  std::unique_ptr<CImage> image(loaded);
  if (!image) throw CArchiveException(CArchiveException::badClass);
  image->SetDirty();
  return Wrap(std::move(image));
}

}  // namespace

void BindImage(py::module_& m, py::class_<ImageHandle>& image) {
  m.def("load", &Load, py::arg("path"), py::arg("page") = 0,
        "Loads page (from 0) of a TIFF, PNG or JPEG file, or the image of an archive (.vlx), "
        "into a new image with the file's resolution. IndexError for a page the file lacks.");
  m.def("page_count", &PageCount, py::arg("path"),
        "The number of pages of a page file (TIFF: its pages, thumbnails left out; others 1).");
  image
      .def(py::init([](const std::string& format, int width, int height, unsigned long colour) {
             std::unique_ptr<CImage> img = NewImage(format);
             Require(img->Create(width, height, colour, L""),
                     "cannot create an image of that size");
             return Wrap(std::move(img));
           }),
           py::arg("format"), py::arg("width"), py::arg("height"), py::arg("colour") = 0xFFFFFF,
           "A new image of the format filled with colour (0x00BBGGRR).")
      .def_static("from_numpy", &FromNumpy, py::arg("array"), py::arg("bilevel") = false,
                  py::arg("dpi") = 1,
                  "A new image holding a copy of a uint8 array: H x W greyscale (or bi-level, "
                  "values 0 and 1, with bilevel=True), H x W x 3 RGB or H x W x 4 RGBA colour.")
      .def_property_readonly(
          "width", [](ImageHandle& h) { return ImageOf(h).GetWidth(); }, "Pixels per row.")
      .def_property_readonly(
          "height", [](ImageHandle& h) { return ImageOf(h).GetHeight(); }, "Rows.")
      .def_property_readonly(
          "format",
          [](ImageHandle& h) { return FormatName(FormatAccess::View(&ImageOf(h)).format); },
          "'bilevel', 'greyscale', 'palette' or 'colour'.")
      .def_property(
          "dpi", [](ImageHandle& h) { return ImageOf(h).GetDPI(); },
          [](ImageHandle& h, int dpi) { ImageOf(h).SetDPI(dpi); },
          "Dots per inch; 1 (and anything below 50) stands for no resolution.")
      .def_property(
          "name", [](ImageHandle& h) { return pipeline::Utf8(ImageOf(h).GetName()); },
          [](ImageHandle& h, const std::string& n) {
            ImageOf(h).SetName(pipeline::WidePath(n).c_str());
          },
          "The image's name.")
      .def_readwrite("progress", &ImageHandle::progress,
                     "None or a callable(step, steps) called during long calls; returning True "
                     "(or raising) cancels the call.")
      .def_property_readonly(
          "pixels",
          [](py::object self) { return PixelsView(self.cast<ImageHandle&>(), self, false); },
          "The pixels as a writable numpy view of the image's own buffer, top row first: "
          "H x W, or H x W x 3 (red, green, blue) for colour.")
      .def_property_readonly(
          "raw_pixels",
          [](py::object self) { return PixelsView(self.cast<ImageHandle&>(), self, true); },
          "As pixels; colour as H x W x 4 in stored order (blue, green, red, fourth byte).")
      .def_property_readonly(
          "palette",
          [](ImageHandle& h) -> py::object {
            const PixelView v = FormatAccess::View(&ImageOf(h));
            if (!v.palette) return py::none();
            py::array_t<uint32_t> out(256);
            std::memcpy(out.mutable_data(), v.palette, 256 * sizeof(uint32_t));
            return out;
          },
          "The 256 colours (0x00BBGGRR) of a palette image, else None.")
      .def(
          "save_tiff",
          [](ImageHandle& h, const std::string& path) {
            CImage& img = ImageOf(h);
            if (!img.ExportTIFF(pipeline::WidePath(path).c_str()))
              throw py::value_error("cannot write the image as TIFF file " + path);
          },
          py::arg("path"), "Writes the image as an uncompressed TIFF file.")
      .def(
          "save_archive",
          [](ImageHandle& h, const std::string& path) {
            CImage& img = ImageOf(h);
            CFile file(pipeline::WidePath(path).c_str(), CFile::modeCreate | CFile::modeWrite);
            SaveArchive(img, file);
            file.Close();
          },
          py::arg("path"), "Stores the image with its maps and components in an archive file.")
      .def(
          "convert",
          [](ImageHandle& h, const std::string& format, int mode) {
            CImage& src = ImageOf(h);
            std::unique_ptr<CImage> img = NewImage(format);
            Require(img->CreateFromImage(&src, static_cast<unsigned char>(mode)),
                    "the image cannot be converted to that format");
            return Wrap(std::move(img));
          },
          py::arg("format"), py::arg("mode") = 0,
          "A new image of format ('bilevel', 'greyscale', 'palette', 'colour') made from this "
          "one, with copies of its maps.")
      .def(
          "copy",
          [](ImageHandle& h) {
            CImage& src = ImageOf(h);
            std::unique_ptr<CImage> img = NewImage(FormatName(FormatAccess::View(&src).format));
            Require(img->CreateDuplicate(&src, 0), "the image cannot be duplicated");
            return Wrap(std::move(img));
          },
          "A duplicate with its own pixels and maps.")
      .def("__repr__",
           [](ImageHandle& h) {
             if (!h.image) return std::string("<vorlane.Image empty>");
             return "<vorlane.Image " +
                    std::string(FormatName(FormatAccess::View(h.image.get()).format)) + " " +
                    std::to_string(h.image->GetWidth()) + "x" +
                    std::to_string(h.image->GetHeight()) + ">";
           })
      .def(py::pickle(&GetState, &SetState));
}

}  // namespace vorlane::python
