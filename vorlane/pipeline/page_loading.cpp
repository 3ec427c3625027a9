// Loading pages from page files.
#include "vorlane/pipeline/page_loading.h"

#include "imageclasses/image.h"
#include "vorlane/io/pages.h"

namespace vorlane::pipeline {
bool IsPageFile(const std::filesystem::path& path) {
  return PageFileKindByName(path) != PageFileKind::unknown;
}

bool IsArchiveFile(const std::filesystem::path& path) {
  return PageFileKindByName(path) == PageFileKind::archive;
}

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
