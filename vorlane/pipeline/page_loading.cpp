// Loading pages from TIFF files and archives.
#include "vorlane/pipeline/page_loading.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "imageclasses/image.h"
#include "platform/platform.h"
#include "vorlane/pipeline/paths.h"

namespace vorlane::pipeline {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

bool IsPageFile(const std::filesystem::path& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".tif" || ext == ".tiff" || ext == ".vlx";
}

bool IsArchiveFile(const std::filesystem::path& path) { return LowerExtension(path) == ".vlx"; }

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
  const bool archive = IsArchiveFile(path);
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

}  // namespace vorlane::pipeline
