// Loading pages for the tool and UTF-8 path conversion.
#include "page_io.h"

#include <vorlane/vorlane.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/utf8.h"

namespace vorlane::cli {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

std::wstring WidePath(const std::filesystem::path& path) {
  return vorlane::WideFromUtf8(path.native());
}

std::string Utf8(const wchar_t* s) { return vorlane::Utf8(s); }

bool IsPageFile(const std::filesystem::path& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".tif" || ext == ".tiff" || ext == ".vlx";
}

LoadedPage LoadPage(const std::filesystem::path& path) {
  LoadedPage page;
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    page.error = "no such file";
    return page;
  }
  if (std::filesystem::is_directory(status)) {
    page.error = "is a folder, not a page";
    return page;
  }
  if (!IsPageFile(path)) {
    page.error = "unsupported kind of file (the tool reads .tif, .tiff and .vlx)";
    return page;
  }
  const bool archive = LowerExtension(path) == ".vlx";
  try {
    page.image.reset(ImgLoadFromFile(WidePath(path).c_str(), nullptr, nullptr, nullptr, nullptr));
    if (!page.image)
      page.error = "not a TIFF image the library reads (unreadable, damaged or unsupported)";
    else if (page.image->GetWidth() <= 0 || page.image->GetHeight() <= 0) {
      page.image.reset();
      page.error = "the picture is empty";
    }
  } catch (const CFileException& e) {
    page.error = e.m_cause == CFileException::accessDenied ? "permission denied" : "cannot be read";
  } catch (const CArchiveException&) {
    page.error = archive ? "damaged or not a page archive" : "damaged file";
  } catch (const CMemoryException&) {
    page.error = "too large to load";
  } catch (const std::bad_alloc&) {
    page.error = "too large to load";
  }
  return page;
}

const char* FormatName(const CImage& image) {
  if (image.IsType(IMAGE_TYPE_BILEVEL)) return "bi-level";
  if (image.IsType(IMAGE_TYPE_GREYSCALE)) return "greyscale";
  if (image.IsType(IMAGE_TYPE_LOCOLOR)) return "palette";
  if (image.IsType(IMAGE_TYPE_HICOLOR)) return "colour";
  return "unknown";
}

}  // namespace vorlane::cli
