// Loading pages from page files.
#include "vorlane/pipeline/page_loading.h"

#include <algorithm>
#include <cctype>

#include "imageclasses/image.h"
#include "vorlane/io/pages.h"

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
  return ext == ".tif" || ext == ".tiff" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" ||
         ext == ".vlx";
}

bool IsArchiveFile(const std::filesystem::path& path) { return LowerExtension(path) == ".vlx"; }

LoadedPage LoadPage(const std::filesystem::path& path, int pageIndex) {
  LoadedPage page;
  OpenedPages opened = OpenPages(path);
  if (!opened.source) {
    page.error = std::move(opened.error);
    return page;
  }
  page.pageCount = opened.source->Count();
  LoadedImage loaded = opened.source->Load(pageIndex);
  page.image = std::move(loaded.image);
  page.error = std::move(loaded.error);
  return page;
}

}  // namespace vorlane::pipeline
